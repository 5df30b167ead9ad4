#include "exchange/ShortCodeReport.h"

#include "support/Bytes.h"
#include "support/ScratchFolder.h"

#include "dbf/Error.h"

#include <gtest/gtest.h>

namespace pontrel {
namespace {

TEST(ShortCodeReport, CsvAsDumpWritesItInUtf8WithCountsPerTable) {
    ShortCodeReport report;
    report.record({"AULAT", "ABREV", "", "Laboratorio de Idiomas", "Laboratori", ShortCodeReason::Cut});
    report.record({"PROFT", "ABREV", "1002", "GLA", "GLA1", ShortCodeReason::Numbered});
    // ANSI in, UTF-8 out; a comma or a quote makes the value quoted.
    report.record(
        {"AULAT", "ABREV", "AULAINFORMATICA2", "AULAINFORMATICA2", "AULAINFOA2", ShortCodeReason::Shortened});
    report.record({"GRUPOST", "ABREV", "7", "1\xBA Bach, \"C\"",
                   "1\xBA"
                   "Bach,\"C",
                   ShortCodeReason::Cut});

    EXPECT_EQ(report.csv(), "tabla,campo,clave_yedra,valor_yedra,valor_guardado,motivo\n"
                            "AULAT,ABREV,,Laboratorio de Idiomas,Laboratori,recortado\n"
                            "PROFT,ABREV,1002,GLA,GLA1,numerado\n"
                            "AULAT,ABREV,AULAINFORMATICA2,AULAINFORMATICA2,AULAINFOA2,acortado\n"
                            "GRUPOST,ABREV,7,\"1º Bach, \"\"C\"\"\",\"1ºBach,\"\"C\",recortado\n");
    EXPECT_EQ(report.countsByTable(),
              (std::vector<std::pair<std::string, std::size_t>>{{"AULAT", 2}, {"PROFT", 1}, {"GRUPOST", 1}}));

    testing::ScratchFolder folder;
    const auto file = folder.path() / "codigos.csv";
    report.writeCsv(file);
    EXPECT_EQ(testing::readFile(file), report.csv());
    EXPECT_THROW(report.writeCsv(folder.path() / "no-existe" / "codigos.csv"), Error);
}

} // namespace
} // namespace pontrel
