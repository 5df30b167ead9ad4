#include "cli/Commands.h"

#include <iostream>

namespace pontrel::cli {

// Not built yet: replaced by the real subcommand.
int dumpCommand(const std::vector<std::string>&) {
    std::cerr << "La orden 'dump' aún no está disponible.\n";
    return 2;
}

} // namespace pontrel::cli
