#include "cli/Commands.h"

#include "cli/CommandLine.h"
#include "cli/TerminalUserInterface.h"
#include "platform/Console.h"
#include "platform/Folders.h"

#include <iostream>

namespace pontrel::cli {

namespace fs = std::filesystem;

std::optional<ParsedArguments> readCommandArguments(std::string_view command,
                                                    const std::vector<std::string>& args,
                                                    CommandEnvironment& environment, int& exitCode) {
    const CommandDescription& description = *findCommand(command);
    auto parsed = parseArguments(description, args, environment.err);
    if (!parsed) {
        exitCode = kExitUsage;
        return std::nullopt;
    }
    if (parsed->help) {
        environment.out << commandHelp(description);
        exitCode = kExitDone;
        return std::nullopt;
    }
    return parsed;
}

int runCommandLine(const std::vector<std::string>& args, CommandEnvironment& environment) {
    if (args.empty()) {
        reportError(environment.err, "falta la orden (export, import o dump).");
        environment.err
            << "Uso: pontrel-cli ORDEN ARGUMENTO [opciones]\nMás información: pontrel-cli --help\n";
        return kExitUsage;
    }
    const std::string& command = args[0];
    const std::vector<std::string> rest(args.begin() + 1, args.end());
    if (command == "export")
        return runExportCommand(rest, environment);
    if (command == "import")
        return runImportCommand(rest, environment);
    if (command == "dump")
        return runDumpCommand(rest, environment);
    if (command == "--help" || command == "-h" || command == "help") {
        const CommandDescription* described = rest.empty() ? nullptr : findCommand(rest[0]);
        environment.out << (described ? commandHelp(*described) : generalHelp());
        return kExitDone;
    }
    if (command == "--version") {
        environment.out << versionText();
        return kExitDone;
    }
    reportError(environment.err, "orden desconocida: " + command + ".");
    environment.err << "Uso: pontrel-cli ORDEN ARGUMENTO [opciones]\nMás información: pontrel-cli --help\n";
    return kExitUsage;
}

CommandEnvironment processEnvironment() {
    return CommandEnvironment{std::cin, platform::standardOutput(), platform::standardError(),
                              platform::standardStreamsAreTerminal(), executableFolder()};
}

fs::path executableFolder() {
    if (fs::path folder = platform::programFolder(); !folder.empty())
        return folder;
    std::error_code ec;
    return fs::current_path(ec);
}

int dumpCommand(const std::vector<std::string>& args) {
    auto environment = processEnvironment();
    return runDumpCommand(args, environment);
}

int exportCommand(const std::vector<std::string>& args) {
    auto environment = processEnvironment();
    return runExportCommand(args, environment);
}

int importCommand(const std::vector<std::string>& args) {
    auto environment = processEnvironment();
    return runImportCommand(args, environment);
}

} // namespace pontrel::cli
