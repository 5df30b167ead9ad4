// The shape all pontrel-cli commands share: one option parser, help on every command, one prefix for
// errors, exit statuses 0, 1 and 2, and the manual page made from the same descriptions as --help.

#include "CommandOutcome.h"

#include "cli/CommandLine.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <sstream>

namespace pontrel::cli {
namespace {

CommandOutcome commandLine(const std::vector<std::string>& args) {
    return runInEnvironment(
        [&](CommandEnvironment& environment) { return runCommandLine(args, environment); });
}

TEST(CommandLine, EveryCommandExplainsItselfWithHelpOrH) {
    ASSERT_EQ(commandDescriptions().size(), 3u);
    for (const auto& command : commandDescriptions()) {
        for (const char* flag : {"--help", "-h"}) {
            SCOPED_TRACE(command.name + " " + flag);
            // Help wins over anything else on the line, also over arguments that would be refused.
            const CommandOutcome run = commandLine({command.name, flag, "--otra", "x", "y"});
            EXPECT_EQ(run.status, 0);
            EXPECT_EQ(run.err, "");
            EXPECT_EQ(run.out.rfind("Uso: " + synopsis(command) + "\n", 0), 0u) << run.out;
            for (const auto& option : command.options) {
                const std::string shown =
                    option.isSwitch() ? option.name : option.name + " " + option.valueName;
                EXPECT_TRUE(contains(run.out, "  " + shown + "\n")) << option.name;
                EXPECT_TRUE(contains(option.help, "Por omisión")) << option.name << " says its default";
            }
            EXPECT_TRUE(contains(run.out, "\nEjemplos:\n  # ")) << run.out;
            EXPECT_TRUE(contains(run.out, "  pontrel-cli " + command.name + " ")) << run.out;
            EXPECT_TRUE(contains(run.out, "\nEstado de salida:\n")) << run.out;
        }
    }
}

TEST(CommandLine, GeneralHelpAndVersion) {
    for (const auto& args : std::vector<std::vector<std::string>>{{"--help"}, {"-h"}, {"help"}}) {
        const CommandOutcome run = commandLine(args);
        EXPECT_EQ(run.status, 0);
        for (const auto& command : commandDescriptions())
            EXPECT_TRUE(contains(run.out, "  " + command.name + " ")) << run.out;
        // What a redirected output holds, said where the user looks for it (the text is wrapped).
        std::string flat = run.out;
        std::replace(flat.begin(), flat.end(), '\n', ' ');
        EXPECT_TRUE(contains(flat, "redirigida a un archivo o a otro programa, salen los bytes UTF-8"))
            << run.out;
    }
    EXPECT_EQ(commandLine({"help", "import"}).out, commandHelp(*findCommand("import")));
    const CommandOutcome version = commandLine({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out.rfind("pontrel-cli ", 0), 0u);
    EXPECT_EQ(version.out.back(), '\n');
}

TEST(CommandLine, UnknownOrMissingCommandIsAUsageError) {
    for (const auto& args : std::vector<std::vector<std::string>>{{}, {"exportar"}, {"--frames"}}) {
        const CommandOutcome run = commandLine(args);
        EXPECT_EQ(run.status, 2);
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(run.err.rfind("pontrel-cli: ", 0), 0u) << run.err;
        EXPECT_TRUE(contains(run.err, "pontrel-cli --help")) << run.err;
    }
}

TEST(OptionParser, BothFormsOfAValueReadTheSame) {
    const auto& exportCommand = *findCommand("export");
    std::ostringstream err;
    const auto spaced = parseArguments(exportCommand, {"--workdir", "/v t", "a.xml", "--frames", "A,B"}, err);
    const auto joined = parseArguments(exportCommand, {"a.xml", "--workdir=/v t", "--frames=A,B"}, err);
    ASSERT_TRUE(spaced && joined) << err.str();
    EXPECT_EQ(spaced->argument, "a.xml");
    EXPECT_EQ(spaced->options, joined->options);
    EXPECT_EQ(joined->option("--workdir"), "/v t");
    EXPECT_EQ(joined->option("--level-table"), std::nullopt);
    // A value may itself hold "=" or begin with a dash when it follows the option.
    const auto odd = parseArguments(exportCommand, {"a.xml", "--frames=X=Y", "--workdir", "-raro"}, err);
    ASSERT_TRUE(odd);
    EXPECT_EQ(odd->option("--frames"), "X=Y");
    EXPECT_EQ(odd->option("--workdir"), "-raro");
    EXPECT_EQ(err.str(), "");
}

TEST(OptionParser, UsageErrorsNameTheProblemAndShowTheSynopsis) {
    struct Case {
        const char* command;
        std::vector<std::string> args;
        const char* problem;
    };
    const std::vector<Case> cases = {
        {"export", {}, "falta el argumento DOCUMENTO.xml"},
        {"export", {"a.xml", "b.xml"}, "sobra el argumento «b.xml»"},
        {"export", {"a.xml", "--workdir"}, "falta el valor de la opción --workdir"},
        {"export", {"a.xml", "--workdir="}, "la opción --workdir necesita un valor"},
        {"export", {"a.xml", "--frames", "A", "--frames=B"}, "la opción --frames se ha dado dos veces"},
        {"import", {"a.xml", "--frames", "A"}, "opción desconocida: --frames"},
        {"import", {"a.xml", "-x"}, "opción desconocida: -x"},
        {"dump", {"A.DBF", "--workdir", "x"}, "opción desconocida: --workdir"},
        {"dump", {""}, "el argumento TABLA.DBF está vacío"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.args));
        std::ostringstream err;
        const auto& command = *findCommand(c.command);
        EXPECT_FALSE(parseArguments(command, c.args, err));
        EXPECT_EQ(err.str().rfind(std::string("pontrel-cli: ") + c.problem, 0), 0u) << err.str();
        EXPECT_TRUE(contains(err.str(), "\nUso: " + synopsis(command) + "\n")) << err.str();
        // The same arguments through the whole command line end with status 2 and print nothing else.
        std::vector<std::string> line{c.command};
        line.insert(line.end(), c.args.begin(), c.args.end());
        const CommandOutcome run = commandLine(line);
        EXPECT_EQ(run.status, 2);
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(run.err, err.str());
    }
}

TEST(ManualPage, IsMadeFromTheHelpTexts) {
    const std::string page = manualPage();
    EXPECT_EQ(page.rfind(".\\\" -*- coding: UTF-8 -*-\n.TH PONTREL\\-CLI 1 ", 0), 0u) << page.substr(0, 80);
    for (const char* section :
         {"\n.SH NOMBRE\n", "\n.SH SINOPSIS\n", "\n.SH DESCRIPCIÓN\n", "\n.SH ENTORNO\n"})
        EXPECT_TRUE(contains(page, section)) << section;
    for (const auto& command : commandDescriptions()) {
        EXPECT_TRUE(contains(page, "\n.SH ORDEN " + command.name + "\n")) << command.name;
        for (const auto& option : command.options) {
            // Hyphens escaped for troff, the option's text as --help gives it.
            const auto troff = [](const std::string& text) {
                std::string escaped;
                for (char c : text)
                    escaped += c == '-' ? std::string("\\-") : std::string(1, c);
                return escaped;
            };
            const std::string name = troff(option.name);
            EXPECT_TRUE(contains(page, option.isSwitch() ? ".B " + name + "\n" : ".BI \"" + name + " \" "))
                << option.name;
            EXPECT_TRUE(contains(page, troff(option.help.substr(0, 30)))) << option.help;
        }
    }
    // No line may begin with a dot or apostrophe that troff would take for a request by accident.
    std::istringstream lines(page);
    for (std::string line; std::getline(lines, line);)
        if (!line.empty() && line[0] == '\'')
            ADD_FAILURE() << line;
}

} // namespace
} // namespace pontrel::cli
