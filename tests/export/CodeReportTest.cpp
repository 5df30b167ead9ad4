// The report of codes: every code that a step stored differently from the value Yedra gave, with
// why, on a school whose codes are cut, shortened and numbered in every table that makes codes; and
// each reported code is the one the table holds for that Yedra key.

#include "export/RunFolderFixture.h"
#include "support/SmallSchool.h"

#include "exchange/codes/ShortCodeReport.h"
#include "export/ExportRun.h"

#include <gtest/gtest.h>

namespace pontrel::exporting {
namespace {

namespace fs = std::filesystem;
using testing::ScratchFolder;
using testing::YedraGroup;

// Every way a code can differ, in every table that makes codes.
std::vector<YedraGroup> schoolOfAwkwardCodes() {
    auto school = testing::smallSchool();
    auto& subjects = testing::groupOf(school, "MATERIAS").records;
    subjects.push_back({"3012", "110", "Física y Química", "FISICAYQUIMICA", "180"});
    subjects.push_back({"3012", "111", "Física y Química Aplicada", "FISICAYQUIMICA", "60"});
    subjects.push_back({"3012", "112", "Lengua Castellana y Literatura", "", "240"});
    subjects.push_back({"3012", "113", "Matemáticas Aplicadas", "MAT", "60"});
    testing::groupOf(school, "ACTIVIDADES").records.push_back({"2", "COORDINACION", "Coordinación"});
    auto& teachers = testing::groupOf(school, "EMPLEADOS").records;
    teachers.push_back({"1004", "01/09/2013", "Ciencias", "Gil", "Lara", "Alba", ""}); // GLA again
    teachers.push_back({"1005", "01/09/2014", "Ciencias", "Sanz", "Vidal", "Rosa", "PROFESORA-01"});
    teachers.push_back({"1006", "01/09/2015", "Letras", "Sanz", "Vidal", "Rita", "PROFESORA-01"});
    auto& rooms = testing::groupOf(school, "DEPENDENCIAS").records;
    rooms.push_back({"AULAINFORMATICA2", "Aula de informática 2"});
    rooms.push_back({"", "Laboratorio de Idiomas"});
    rooms.push_back({"a1", "Aula 1 bis"});
    auto& units = testing::groupOf(school, "UNIDADES").records;
    units.push_back({"60", "Bachillerato Ciencias A", "3013"});
    units.push_back({"61", "Bachillerato Ciencias B", "3013"});
    return school;
}

struct Row {
    std::string table, key, yedraValue, stored, motivo;
    bool operator==(const Row&) const = default;
};

void PrintTo(const Row& r, std::ostream* os) {
    *os << r.table << "," << r.key << "," << r.yedraValue << "," << r.stored << "," << r.motivo;
}

// The code that `table` holds in its record whose `keyField` is `key` (UTF-8), or "<ninguno>".
std::string storedCode(const fs::path& folder, const std::string& table, const std::string& keyField,
                       const std::string& key, const std::string& codeField) {
    const auto rows = testing::readRows(folder / (table + ".DBF"), {keyField, codeField});
    for (const auto& row : rows)
        if (row[0] == key)
            return row[1];
    return "<ninguno>";
}

// Exports `document` into the new folder `work`, keeping the report of codes in `report` when given.
RunOutcome exportInto(const fs::path& work, const fs::path& document, ShortCodeReport* report) {
    fs::create_directory(work);
    RunSession session;
    session.workingFolder = work;
    session.programFolder = PONTREL_BIN_DIR;
    testing::ScriptedUserInterface ui;
    ui.documents.push_back(document);
    ExportOptions options;
    options.lockWait = std::chrono::milliseconds{0};
    options.codeReport = report;
    return ExportRun(session, ui, options).run();
}

TEST(CodeReport, EveryChangedCodeIsReportedWithItsReasonAsTheTablesHoldIt) {
    ScratchFolder root;
    const fs::path work = root / "VTEMP";
    ShortCodeReport report;
    ASSERT_EQ(exportInto(work, testing::writeYedraDocument(root.path(), schoolOfAwkwardCodes()), &report),
              RunOutcome::Completed);

    std::vector<Row> rows;
    for (const auto& code : report.codes()) {
        EXPECT_EQ(code.field, code.table == "ASIGNOMT" ? "COD" : "ABREV");
        rows.push_back(
            {code.table, code.yedraKey, code.yedraValue, ansi::toUtf8(code.stored), motivo(code.reason)});
    }
    const std::vector<Row> expected = {
        {"ASIGNOMT", "110", "FISICAYQUIMICA", "FISICAYQUI", "recortado"},
        {"ASIGNOMT", "111", "FISICAYQUIMICA", "FISICAYQU1", "numerado"},
        {"ASIGNOMT", "112", "Lengua Castellana y Literatura", "Lengua Cas", "recortado"},
        {"ASIGNOMT", "113", "MAT", "MAT1", "numerado"},
        {"ASIGNOMT", "COORDINACION", "COORDINACION", "COORDINACI", "recortado"},
        {"PROFT", "1004", "GLA", "GLA1", "numerado"},
        {"PROFT", "1005", "PROFESORA-01", "PROFESORA-", "recortado"},
        {"PROFT", "1006", "PROFESORA-01", "PROFESORA1", "numerado"},
        {"AULAT", "AULAINFORMATICA2", "AULAINFORMATICA2", "AULAINFOA2", "acortado"},
        {"AULAT", "", "Laboratorio de Idiomas", "Laboratori", "recortado"},
        {"AULAT", "a1", "a1", "a11", "numerado"},
        {"GRUPOST", "60", "Bachillerato Ciencias A", "Bachillera", "recortado"},
        {"GRUPOST", "61", "Bachillerato Ciencias B", "Bachiller1", "numerado"},
    };
    EXPECT_EQ(rows, expected);
    EXPECT_EQ(report.countsByTable(), (std::vector<std::pair<std::string, std::size_t>>{
                                          {"ASIGNOMT", 5}, {"PROFT", 3}, {"AULAT", 3}, {"GRUPOST", 2}}));

    // What the tables hold under each Yedra key.
    for (const auto& row : rows) {
        SCOPED_TRACE(row.key);
        if (row.table == "PROFT")
            EXPECT_EQ(storedCode(work, "PROFT", "X_EMPLEADO", row.key, "ABREV"), row.stored);
        else if (row.table == "GRUPOST")
            EXPECT_EQ(storedCode(work, "GRUPOST", "CLAVE", row.key, "ABREV"), row.stored);
        else if (row.table == "AULAT")
            EXPECT_EQ(storedCode(work, "AULAT", "NOMBRE",
                                 row.key.empty()   ? row.yedraValue
                                 : row.key == "a1" ? "Aula 1 bis"
                                                   : "Aula de informática 2",
                                 "ABREV"),
                      row.stored);
        else if (row.key == "COORDINACION")
            EXPECT_EQ(storedCode(work, "ASIGNOMT", "CODTAREA", row.key, "COD"), row.stored);
        else
            EXPECT_EQ(storedCode(work, "ASIGNOMT2", "MATERIA", row.key, "COD"), row.stored);
    }
}

// The tables hold ANSI, where a character the code page lacks is "?"; the report gives Yedra's texts as
// the document has them.
TEST(CodeReport, YedraTextsKeepTheCharactersTheCodePageLacks) {
    ScratchFolder root;
    auto school = testing::smallSchool();
    testing::groupOf(school, "DEPENDENCIAS").records.push_back({"", "Aula 音楽 de música"});
    testing::groupOf(school, "UNIDADES").records.push_back({"62", "Grupo 音楽 de tarde", "3013"});
    testing::groupOf(school, "EMPLEADOS")
        .records.push_back({"1007", "01/09/2016", "Música", "Ruiz", "Sol", "Ana", "ÉTÉ-音楽-PROF"});
    ShortCodeReport report;
    ASSERT_EQ(exportInto(root / "VTEMP", testing::writeYedraDocument(root.path(), school), &report),
              RunOutcome::Completed);

    std::vector<Row> rows;
    for (const auto& code : report.codes())
        rows.push_back(
            {code.table, code.yedraKey, code.yedraValue, ansi::toUtf8(code.stored), motivo(code.reason)});
    const std::vector<Row> expected = {
        {"PROFT", "1007", "ÉTÉ-音楽-PROF",
         "ÉTÉ-?"
         "?-PRO",
         "recortado"},
        {"AULAT", "", "Aula 音楽 de música",
         "Aula ?"
         "? de",
         "recortado"},
        {"GRUPOST", "62", "Grupo 音楽 de tarde",
         "Grupo?"
         "?det",
         "recortado"},
    };
    EXPECT_EQ(rows, expected);
}

TEST(CodeReport, KeepingAReportChangesNoByteOfTheTables) {
    ScratchFolder root;
    const auto doc = testing::writeYedraDocument(root.path(), schoolOfAwkwardCodes());
    std::map<std::string, std::string> written[2];
    for (int withReport = 0; withReport < 2; ++withReport) {
        const fs::path work = root / ("VTEMP" + std::to_string(withReport));
        ShortCodeReport report;
        ASSERT_EQ(exportInto(work, doc, withReport ? &report : nullptr), RunOutcome::Completed);
        written[withReport] = testing::folderContents(work);
    }
    EXPECT_EQ(written[0].size(), 11u); // ten tables and DIASHORAST2.MDX
    EXPECT_EQ(written[0], written[1]);
}

} // namespace
} // namespace pontrel::exporting
