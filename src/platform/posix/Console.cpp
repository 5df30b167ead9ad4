// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/Console.h"

#include <iostream>
#include <unistd.h>

namespace pontrel::platform {

std::ostream& standardOutput() {
    return std::cout;
}

std::ostream& standardError() {
    return std::cerr;
}

bool standardStreamsAreTerminal() {
    return ::isatty(STDIN_FILENO) == 1 && ::isatty(STDOUT_FILENO) == 1;
}

} // namespace pontrel::platform
