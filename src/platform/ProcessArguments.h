#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// The program's arguments as UTF-8. Windows hands main() its arguments in the ANSI code page, where a
// planner's "C:\Users\José Núñez\..." may not even be representable; the arguments are taken from the
// wide command line instead. Elsewhere argv is used as it comes (the locale's bytes, UTF-8 in practice).

#include <string>
#include <vector>

namespace pontrel::platform {

// The arguments after the program's name.
std::vector<std::string> processArguments(int argc, char** argv);

} // namespace pontrel::platform
