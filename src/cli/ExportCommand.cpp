#include "cli/Commands.h"

#include <iostream>

namespace pontrel::cli {

// Not built yet: replaced by the real subcommand.
int exportCommand(const std::vector<std::string>&) {
    std::cerr << "La orden 'export' aún no está disponible.\n";
    return 2;
}

} // namespace pontrel::cli
