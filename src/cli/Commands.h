#pragma once
// One function per subcommand of pontrel-cli. Each returns the process exit status:
// 0 success, 1 stopped (message or error), 2 usage error (see CommandLine.h).

#include <filesystem>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pontrel::cli {

// Where a command runs: its streams, whether they are a terminal, and the executable's folder
// (the default place of NIVELCAN.DBF).
struct CommandEnvironment {
    std::istream& in;
    std::ostream& out;
    std::ostream& err;
    bool interactive = false;
    std::filesystem::path programFolder;
};

// The whole command line after the program's name: the command and its arguments, or --help,
// -h or --version.
int runCommandLine(const std::vector<std::string>& args, CommandEnvironment& environment);

struct ParsedArguments;

// A command's arguments, read against its description. Nullopt when the command ends there, with
// `exitCode` set: a usage error (written on err), or the help that was asked for (written on out).
std::optional<ParsedArguments> readCommandArguments(std::string_view command,
                                                    const std::vector<std::string>& args,
                                                    CommandEnvironment& environment, int& exitCode);

int runDumpCommand(const std::vector<std::string>& args, CommandEnvironment& environment);
int runExportCommand(const std::vector<std::string>& args, CommandEnvironment& environment);
int runImportCommand(const std::vector<std::string>& args, CommandEnvironment& environment);

// The same on the process's standard streams.
int dumpCommand(const std::vector<std::string>& args);
int exportCommand(const std::vector<std::string>& args);
int importCommand(const std::vector<std::string>& args);

// The environment of this process: standard streams, terminal or not, the executable's folder.
CommandEnvironment processEnvironment();

// The folder of the running executable (links resolved).
std::filesystem::path executableFolder();

} // namespace pontrel::cli
