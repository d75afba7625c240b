#pragma once

// The desktop's keys of section "General", additions of ours: Notify (1, the default: desktop
// notifications of connections, limits and failed dials; 0: none; sounds are not affected).

namespace pulo {

struct TDesktopSettings final
{
    bool Notify = true;

    bool operator==(const TDesktopSettings&) const = default;
};

[[nodiscard]] TDesktopSettings ReadDesktopSettings();
// Raises "Unable to write to ..." as the other settings' writes do.
void WriteDesktopSettings(const TDesktopSettings& desktop);

} // namespace pulo
