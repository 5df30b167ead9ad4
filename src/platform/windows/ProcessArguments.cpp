// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/ProcessArguments.h"

#include "platform/windows/WideText.h"

// windows.h first: shellapi.h relies on its definitions.
#include <windows.h>

#include <shellapi.h>

namespace pontrel::platform {

std::vector<std::string> processArguments(int argc, char** argv) {
    // The same splitting rules as the C runtime's (quotes, backslashes), on the wide command line.
    int count = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (wide == nullptr)
        return argc < 1 ? std::vector<std::string>() : std::vector<std::string>(argv + 1, argv + argc);
    std::vector<std::string> arguments;
    for (int i = 1; i < count; ++i)
        arguments.push_back(utf8FromWide(wide[i]));
    LocalFree(wide);
    return arguments;
}

} // namespace pontrel::platform
