#pragma once

// The words for error codes: remote access errors (600 to 799) and the system errors the
// program meets. Our own wording.

#include "platform/Win32.h"

namespace win {

// The remote access error's text, or null outside 600 to 799.
[[nodiscard]] const char* RasErrorText(DWORD code);
// The system error's text, or null for a code without one.
[[nodiscard]] const char* SystemErrorText(DWORD code);

} // namespace win
