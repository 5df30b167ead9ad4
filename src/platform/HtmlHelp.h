#pragma once
// HTML Help, the Windows help viewer of .chm files, reached through HHCtrl.ocx. Elsewhere there is no
// such viewer and the calls report that.

#include <cstdint>
#include <filesystem>

namespace pontrel::platform {

// True when HHCtrl.ocx is there and offers its entry point.
bool htmlHelpAvailable();

// Opens `chm` at the topic with context number `context` (0: the contents), owned by the native
// window `owner` (may be 0). False when the viewer could not be started.
bool showHtmlHelp(const std::filesystem::path& chm, unsigned context, std::uintptr_t owner);

} // namespace pontrel::platform
