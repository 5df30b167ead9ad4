#pragma once
// One function per subcommand of pontrel-cli. Each returns the process exit status:
// 0 success, 1 stopped (message or error), 2 usage error.

#include <string>
#include <vector>

namespace pontrel::cli {

int dumpCommand(const std::vector<std::string>& args);
int exportCommand(const std::vector<std::string>& args);
int importCommand(const std::vector<std::string>& args);

} // namespace pontrel::cli
