#pragma once

// The pictures of the README and the software centres, made by the demo on its simulated line:
// with PULOPRO_DEMO_SCREENSHOTS naming a folder, the demo brings a line up, lets it run a few
// seconds, saves main.png (the main window while connected) and usage.png (the Usage window)
// there, and ends. scripts/screenshots.sh runs it on the offscreen platform.

#include <QString>

namespace pulo {

class LineSimulator;
class TForm1;

// Nothing happens when the variable is not set.
void TakeScreenshotsWhenAsked(LineSimulator& simulator, TForm1& form);

} // namespace pulo
