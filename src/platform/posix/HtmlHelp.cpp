#include "platform/HtmlHelp.h"

namespace pontrel::platform {

bool htmlHelpAvailable() {
    return false;
}

bool showHtmlHelp(const std::filesystem::path&, unsigned, std::uintptr_t) {
    return false;
}

} // namespace pontrel::platform
