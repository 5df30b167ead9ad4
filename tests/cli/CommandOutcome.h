#pragma once
// A subcommand run in this process: its exit status and what it printed, whether it writes to the
// streams of a CommandEnvironment or straight to std::cout and std::cerr.

#include "cli/Commands.h"

#include <iostream>
#include <sstream>
#include <string>
#include <utility>

namespace pontrel::cli {

struct CommandOutcome {
    int status = -1;
    std::string out;
    std::string err;
};

// Runs `command(environment)` with string streams for the environment; `typed` is what the user types.
template <typename Command>
CommandOutcome runInEnvironment(Command&& command, bool interactive = false, const std::string& typed = "") {
    std::istringstream in(typed);
    std::ostringstream out, err;
    CommandEnvironment environment{in, out, err, interactive, PONTREL_BIN_DIR};
    CommandOutcome outcome;
    outcome.status = std::forward<Command>(command)(environment);
    outcome.out = out.str();
    outcome.err = err.str();
    return outcome;
}

// Runs `command()` with std::cout and std::cerr captured; they are given back also when it throws.
template <typename Command> CommandOutcome runCapturingStandardStreams(Command&& command) {
    struct Redirect {
        std::ostream& stream;
        std::streambuf* original;
        ~Redirect() { stream.rdbuf(original); }
    };
    std::ostringstream out, err;
    const Redirect redirectOut{std::cout, std::cout.rdbuf(out.rdbuf())};
    const Redirect redirectErr{std::cerr, std::cerr.rdbuf(err.rdbuf())};
    CommandOutcome outcome;
    outcome.status = std::forward<Command>(command)();
    outcome.out = out.str();
    outcome.err = err.str();
    return outcome;
}

inline bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

} // namespace pontrel::cli
