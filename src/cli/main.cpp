#include "cli/Commands.h"

#include <iostream>
#include <string>
#include <vector>

namespace {

constexpr const char* kUsage =
    "Uso:\n"
    "  pontrel-cli dump TABLA.DBF\n"
    "  pontrel-cli export DOCUMENTO.xml [--workdir CARPETA] [--level-table ARCHIVO] [--frames COD[,COD...]]\n"
    "                     [--dry-run [--detalle]] [--report ARCHIVO.csv]\n"
    "  pontrel-cli import DOCUMENTO.xml [--workdir CARPETA] [--teacher-keys ARCHIVO.csv] [--strict]\n";

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::cerr << kUsage;
        return 2;
    }
    const std::string command = argv[1];
    const std::vector<std::string> args(argv + 2, argv + argc);
    if (command == "dump")
        return pontrel::cli::dumpCommand(args);
    if (command == "export")
        return pontrel::cli::exportCommand(args);
    if (command == "import")
        return pontrel::cli::importCommand(args);
    if (command == "--help" || command == "-h") {
        std::cout << kUsage;
        return 0;
    }
    std::cerr << "Orden desconocida: " << command << "\n" << kUsage;
    return 2;
}
