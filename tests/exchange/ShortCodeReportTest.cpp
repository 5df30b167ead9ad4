#include "exchange/codes/ShortCodeReport.h"

#include "support/Bytes.h"
#include "support/ScratchFolder.h"

#include "dbf/Error.h"

#include <gtest/gtest.h>

namespace pontrel {
namespace {

namespace fs = std::filesystem;

const std::string kBom = "\xEF\xBB\xBF";
const std::string kHeader = "tabla;campo;clave_yedra;valor_yedra;valor_guardado;motivo\r\n";

TEST(ShortCodeReport, CsvAsASpanishSpreadsheetOpensItWithCountsPerTable) {
    ShortCodeReport report;
    report.record({"AULAT", "ABREV", "", "Laboratorio de Idiomas", "Laboratori", ShortCodeReason::Cut});
    report.record({"PROFT", "ABREV", "1002", "GLA", "GLA1", ShortCodeReason::Numbered});
    report.record(
        {"AULAT", "ABREV", "AULAINFORMATICA2", "AULAINFORMATICA2", "AULAINFOA2", ShortCodeReason::Shortened});
    // Yedra's texts are UTF-8 and keep what the code page lacks; the stored code is ANSI. A ";" or a
    // quote makes the cell quoted; a comma no longer does.
    report.record({"GRUPOST", "ABREV", "7", "1º Bach; \"C\" 音楽", "1\xBA Bach; \"", ShortCodeReason::Cut});
    report.record({"GRUPOST", "ABREV", "8", "1º Bach, C", "1\xBA Bach, C", ShortCodeReason::Cut});

    EXPECT_EQ(report.csv(), kBom + kHeader +
                                "AULAT;ABREV;;Laboratorio de Idiomas;Laboratori;recortado\r\n"
                                "PROFT;ABREV;1002;GLA;GLA1;numerado\r\n"
                                "AULAT;ABREV;AULAINFORMATICA2;AULAINFORMATICA2;AULAINFOA2;acortado\r\n"
                                "GRUPOST;ABREV;7;\"1º Bach; \"\"C\"\" 音楽\";\"1º Bach; \"\"\";recortado\r\n"
                                "GRUPOST;ABREV;8;1º Bach, C;1º Bach, C;recortado\r\n");
    EXPECT_EQ(report.countsByTable(),
              (std::vector<std::pair<std::string, std::size_t>>{{"AULAT", 2}, {"PROFT", 1}, {"GRUPOST", 2}}));

    testing::ScratchFolder folder;
    const auto file = folder.path() / "codigos.csv";
    report.writeCsv(file);
    EXPECT_EQ(testing::readFile(file), report.csv());
}

TEST(ShortCodeReport, CellsASpreadsheetWouldRunAsFormulasAreWrittenAsText) {
    const std::vector<std::pair<std::string, std::string>> cells = {
        {"=HYPERLINK(\"http://x\";\"y\")", "\"'=HYPERLINK(\"\"http://x\"\";\"\"y\"\")\""},
        {"+34", "'+34"},
        {"-2+3", "'-2+3"},
        {"@SUMA(A1)", "'@SUMA(A1)"},
        {"\t=1", "'\t=1"},
        {"A-1", "A-1"},
        {"1=1", "1=1"},
        {"", ""},
    };
    for (const auto& [value, cell] : cells) {
        SCOPED_TRACE(value);
        ShortCodeReport report;
        report.record({"AULAT", "ABREV", value, value, "A1", ShortCodeReason::Cut});
        EXPECT_EQ(report.csv(), kBom + kHeader + "AULAT;ABREV;" + cell + ";" + cell + ";A1;recortado\r\n");
    }
    // A stored code is checked as well.
    ShortCodeReport stored;
    stored.record({"AULAT", "ABREV", "k", "k", "-A", ShortCodeReason::Numbered});
    EXPECT_EQ(stored.csv(), kBom + kHeader + "AULAT;ABREV;k;k;'-A;numerado\r\n");
}

// The report is written before the tables are replaced and only put in place after: until then the
// earlier report stays; a place that cannot take it is refused while nothing has changed.
TEST(ShortCodeReport, StagedReportReplacesTheFileOnlyOnCommitAndRefusesUnwritablePlaces) {
    testing::ScratchFolder folder;
    ShortCodeReport report;
    report.record({"PROFT", "ABREV", "1002", "GLA", "GLA1", ShortCodeReason::Numbered});
    const fs::path file = folder.path() / "codigos.csv";
    testing::writeFile(file, "informe anterior");
    {
        StagedCodeReport staged(report, file);
        EXPECT_EQ(testing::readFile(file), "informe anterior");
        staged.commit();
    }
    EXPECT_EQ(testing::readFile(file), report.csv());
    {
        testing::writeFile(file, "informe anterior");
        StagedCodeReport dropped(report, file);
    }
    EXPECT_EQ(testing::readFile(file), "informe anterior") << "a report never committed changes nothing";
    std::size_t files = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(folder.path()))
        ++files;
    EXPECT_EQ(files, 1u) << "nothing is left beside the report";

    fs::create_directory(folder.path() / "carpeta");
    const std::vector<std::pair<fs::path, std::string>> refused = {
        {folder.path() / "no-existe" / "codigos.csv", "no-existe"},
        {folder.path() / "carpeta", "es una carpeta"},
    };
    for (const auto& [place, reason] : refused) {
        SCOPED_TRACE(place.string());
        try {
            StagedCodeReport staged(report, place);
            ADD_FAILURE() << "the place must be refused";
        } catch (const Error& e) {
            const std::string text = e.what();
            EXPECT_NE(text.find("No se puede escribir el informe de códigos «" + place.string() + "»"),
                      std::string::npos)
                << text;
            EXPECT_NE(text.find(reason), std::string::npos) << text;
            EXPECT_NE(text.find("no se ha cambiado ninguna tabla"), std::string::npos) << text;
        }
    }
}

} // namespace
} // namespace pontrel
