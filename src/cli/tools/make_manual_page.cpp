// Writes the manual page pontrel-cli(1) from the same descriptions that `pontrel-cli --help` prints.
//   make_manual_page SALIDA.1

#include "cli/CommandLine.h"

#include <fstream>
#include <iostream>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "Uso: make_manual_page SALIDA.1\n";
        return 2;
    }
    std::ofstream out(argv[1], std::ios::binary);
    out << pontrel::cli::manualPage();
    out.close();
    if (!out) {
        std::cerr << "No se puede escribir " << argv[1] << "\n";
        return 1;
    }
    return 0;
}
