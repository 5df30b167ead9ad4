// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/ProcessArguments.h"

namespace pontrel::platform {

std::vector<std::string> processArguments(int argc, char** argv) {
    if (argc < 1)
        return {};
    return std::vector<std::string>(argv + 1, argv + argc);
}

} // namespace pontrel::platform
