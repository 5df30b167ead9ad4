#pragma once
// pontrel-cli export DOCUMENTO.xml [--workdir CARPETA] [--level-table ARCHIVO] [--frames COD[,COD...]]

#include <filesystem>
#include <iosfwd>
#include <string>
#include <vector>

namespace pontrel::cli {

// Where the command runs: its streams, whether they are a terminal, and the executable's folder
// (the default place of NIVELCAN.DBF).
struct CommandEnvironment {
    std::istream& in;
    std::ostream& out;
    std::ostream& err;
    bool interactive = false;
    std::filesystem::path programFolder;
};

// The export subcommand; returns 0 when the run ended with "Proceso finalizado", 1 when it stopped
// (message or error), 2 for a usage error.
int runExportCommand(const std::vector<std::string>& args, CommandEnvironment& environment);

// The folder of the running executable.
std::filesystem::path executableFolder();

} // namespace pontrel::cli
