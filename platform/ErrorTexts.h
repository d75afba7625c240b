#pragma once

// The words for error codes: remote access errors (600 to 799, our own from 900) and the system errors the
// program meets. Our own wording.

#include "platform/Win32.h"

namespace win {

// The remote access error's text (600 to 799, and our own codes from 900), or null.
[[nodiscard]] const char* RasErrorText(DWORD code);
// The system error's text, or null for a code without one.
[[nodiscard]] const char* SystemErrorText(DWORD code);

} // namespace win
