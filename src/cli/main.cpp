#include "cli/Commands.h"

#include <string>
#include <vector>

int main(int argc, char** argv) {
    auto environment = pontrel::cli::processEnvironment();
    return pontrel::cli::runCommandLine(std::vector<std::string>(argv + 1, argv + argc), environment);
}
