#pragma once

// The data saver's mark on a NetworkManager line: the metered flag of the line's profile, set in
// the service's memory only (an in-memory update; the profile as saved on disk is never written),
// which applies to the active connection at once. Programs that spare metered lines (software
// updates, sync clients) then hold back.

#include "platform/Win32.h"

#include <QDBusConnection>

#include <string>

namespace win::posix::nm {

// The profile of that UUID gets the value (MeteredUnknown, MeteredYes, MeteredNo) and before what
// it had. ERROR_SUCCESS, ERROR_NOT_FOUND for no such profile, or the error of a refusal or time-out.
[[nodiscard]] DWORD SetProfileMetered(const QDBusConnection& bus, const std::string& uuid, int value, int& before);

} // namespace win::posix::nm
