// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/Commands.h"
#include "platform/Memory.h"
#include "platform/ProcessArguments.h"

int main(int argc, char** argv) {
    pontrel::platform::keepFreedMemoryForReuse();
    auto environment = pontrel::cli::processEnvironment();
    return pontrel::cli::runCommandLine(pontrel::platform::processArguments(argc, argv), environment);
}
