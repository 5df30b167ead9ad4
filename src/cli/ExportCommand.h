#pragma once
// pontrel-cli export DOCUMENTO.xml [--workdir CARPETA] [--level-table ARCHIVO] [--frames COD[,COD...]]

#include "cli/Commands.h"

#include <functional>

namespace pontrel::cli {

// Called between the end of a completed run and the report of what it wrote; tests run a second
// export there to show that the report is this run's own.
using AfterRunHook = std::function<void()>;

// The export subcommand; returns 0 when the run ended with "Proceso finalizado", 1 when it stopped
// (message or error), 2 for a usage error.
int runExportCommand(const std::vector<std::string>& args, CommandEnvironment& environment,
                     const AfterRunHook& afterRun);

} // namespace pontrel::cli
