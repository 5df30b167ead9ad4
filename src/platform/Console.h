#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// The standard output and error streams for the program's UTF-8 texts. On a Windows console the text is
// written as UTF-16 with WriteConsoleW, so that accents show whatever the console's code page; redirected
// to a file or a pipe, and on other systems, the UTF-8 bytes are written as they are.

#include <iosfwd>

namespace pontrel::platform {

std::ostream& standardOutput();
std::ostream& standardError();

// True when both standard input and standard output are a terminal (a console on Windows).
bool standardStreamsAreTerminal();

} // namespace pontrel::platform
