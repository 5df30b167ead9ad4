#pragma once
// The shape every pontrel-cli command shares: what it accepts (one description per command, from which
// the option parser, `--help` and the manual page are all made), how its arguments are read, and how it
// reports errors.
//
//   --opt VALUE and --opt=VALUE are the same; --help and -h work after every command; a usage error
//   ends with status 2, a stopped run with 1, a completed one with 0. Errors go to standard error, each
//   one beginning with "pontrel-cli: "; results and progress go to standard output.

#include <iosfwd>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pontrel::cli {

inline constexpr int kExitDone = 0;
inline constexpr int kExitStopped = 1;
inline constexpr int kExitUsage = 2;

inline constexpr const char* kErrorPrefix = "pontrel-cli: ";

struct OptionDescription {
    std::string name;      // "--workdir"
    std::string valueName; // "CARPETA"; empty for a switch that takes no value ("--dry-run")
    std::string help;      // what it does and its default, Spanish

    bool isSwitch() const { return valueName.empty(); }
};

struct CommandDescription {
    std::string name;         // "export"
    std::string argument;     // the one argument every command takes: "DOCUMENTO.xml"
    std::string argumentHelp; // what that argument is
    std::string summary;      // one line for the general help
    std::string description;  // what the command does, a paragraph
    std::vector<OptionDescription> options;
    std::vector<std::string> examples; // command lines, each with a comment line before it ("# ...")
    std::string exitStatus;            // what 0, 1 and 2 mean for this command
};

// The commands in the order the general help lists them: export, import, dump.
const std::vector<CommandDescription>& commandDescriptions();
const CommandDescription* findCommand(std::string_view name);

// "pontrel-cli export DOCUMENTO.xml [--workdir CARPETA] ..."
std::string synopsis(const CommandDescription& command);
// `pontrel-cli CMD --help`: synopsis, description, argument, each option, examples, exit statuses.
std::string commandHelp(const CommandDescription& command);
// `pontrel-cli --help`: the commands, the common rules and where to read more.
std::string generalHelp();
std::string versionText();
// The manual page pontrel-cli(1), in Spanish, troff (man) format, from the same descriptions.
std::string manualPage();

// A command's arguments once read: the one argument and the options given (by name, "--workdir").
struct ParsedArguments {
    std::string argument;
    std::map<std::string, std::string> options;
    bool help = false;

    std::optional<std::string> option(const std::string& name) const;
    // Whether a switch (an option without a value) was given.
    bool given(const std::string& name) const { return options.count(name) != 0; }
};

// Reads `args` against the command's description. On a usage error writes the problem, the synopsis
// and where to find help to `err` and returns nullopt (the command then ends with kExitUsage).
std::optional<ParsedArguments> parseArguments(const CommandDescription& command,
                                              const std::vector<std::string>& args, std::ostream& err);

// An error on `err` after kErrorPrefix, its line breaks ("\n\r", "\r\n") as plain line feeds.
void reportError(std::ostream& err, std::string_view text);

} // namespace pontrel::cli
