// The round trip on the sample school: the export run writes the working tables, a small placer of
// ours writes SOLUC as the timetable tool would (dBase III, numeric DIA and HORA), the import run
// writes the timetable document, and every element of it is checked against the sample document.

#include "import/WorkingTablesFixture.h"
#include "import/XmlProbe.h"
#include "support/ScriptedUserInterface.h"

#include "exchange/Ansi.h"
#include "exchange/YedraDocument.h"
#include "export/ExportRun.h"
#include "import/ImportRun.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

namespace pontrel::importing {
namespace {

namespace fs = std::filesystem;
using testing::XmlProbe;

// One SOLUC entry as placed, with what the document must then say about it (UTF-8).
struct Placement {
    testing::SolucRow row;
    std::string slotKey; // CODDIHO of the slot used
    bool activity = false;
};

// Stands in for the timetable tool: every assignment of ASIGT once, on the slots of DIASHORAST in
// turn, with the teachers of PROFT and the rooms of AULAT in turn; then one non-teaching activity and
// one entry left unplaced (DIA 0).
std::vector<Placement> placeTimetable(const fs::path& work) {
    auto open = [&](const char* name) { return dbf::Table::open(work / name, dbf::OpenMode::Shared); };
    const auto asigt = open("ASIGT.DBF");
    const auto slots = open("DIASHORAST.DBF");
    const auto proft = open("PROFT.DBF");
    const auto aulat = open("AULAT.DBF");
    const auto asignomt = open("ASIGNOMT.DBF");
    std::vector<Placement> placed;
    for (std::size_t i = 0; i < asigt.recordCount(); ++i) {
        const std::size_t s = i % slots.recordCount();
        placed.push_back({{proft.text(i % proft.recordCount(), "ABREV"), slots.text(s, "DIA"),
                           slots.text(s, "HORA"), slots.text(s, "MARCO"), asigt.text(i, "CASIG"),
                           asigt.text(i, "CGRUP"), "", aulat.text(i % aulat.recordCount(), "ABREV")},
                          slots.text(s, "CODDIHO")});
    }
    const auto guard = asignomt.locate({{"COD", dbf::Value{std::string("G01")}}});
    if (guard)
        placed.push_back({{proft.text(1, "ABREV"), slots.text(0, "DIA"), slots.text(0, "HORA"),
                           slots.text(0, "MARCO"), "G01", "", "", ""},
                          slots.text(0, "CODDIHO"),
                          true});
    placed.push_back(
        {{proft.text(0, "ABREV"), "0", "0", "0", asigt.text(0, "CASIG"), asigt.text(0, "CGRUP"), "", ""},
         std::string()});
    std::vector<testing::SolucRow> rows;
    for (const auto& p : placed)
        rows.push_back(p.row);
    testing::writeSoluc(work / "SOLUC.DBF", rows, testing::SolucStorage::DbaseIIINumeric);
    return placed;
}

std::string utf8(const std::string& ansi) {
    return ansi::toUtf8(ansi);
}

TEST(RoundTrip, SampleSchoolExportPlaceImport) {
    const fs::path sample = fs::path(PONTREL_SOURCE_DIR) / "data" / "sample" / "colegio.xml";
    ASSERT_TRUE(fs::exists(sample)) << sample;
    testing::ScratchFolder work, docs;
    const fs::path document = docs.path() / "colegio.xml";
    fs::copy_file(sample, document);

    RunSession session;
    session.workingFolder = work.path();
    session.programFolder = PONTREL_BIN_DIR; // NIVELCAN.DBF beside the executables
    testing::ScriptedUserInterface ui;
    ui.documents.push_back(document);
    ui.frameChoices.push_back({.selection = "JOR1      ", .accepted = true, .frameCount = 2});
    ASSERT_EQ(exporting::ExportRun(session, ui).run(), RunOutcome::Completed);

    const auto placed = placeTimetable(work.path());
    ASSERT_GT(placed.size(), 10u);

    ui.documents.push_back(document);
    ImportRun run(session, ui);
    ASSERT_EQ(run.run(), RunOutcome::Completed);
    EXPECT_EQ(ui.teacherDialogs, 0) << "every teacher of the sample has both keys";

    // What the sample document says, read by position.
    const auto source = YedraDocument::load(sample);
    std::vector<std::pair<std::string, std::string>> employees;
    for (const auto& r : source.loopRecords("EMPLEADOS"))
        employees.emplace_back(utf8(r.value(0)), utf8(r.value(1)));
    std::map<std::string, std::pair<std::string, std::string>> slotMinutes;
    for (const auto& r : source.loopRecords("TRAMOS_HORARIOS"))
        if (r.value(4) == "JOR1")
            slotMinutes[utf8(r.value(0))] = {utf8(r.value(2)), utf8(r.value(3))};
    std::map<std::string, std::string> unitCourse;
    for (const auto& r : source.loopRecords("UNIDADES"))
        unitCourse[utf8(r.value(0))] = utf8(r.value(2));
    std::set<std::pair<std::string, std::string>> offerSubjects;
    for (const auto& r : source.loopRecords("MATERIAS"))
        offerSubjects.emplace(utf8(r.value(0)), utf8(r.value(1)));

    const fs::path output = docs.path() / "ResultadoDastelcolegio.xml";
    const std::string bytes = testing::readFile(output);
    EXPECT_EQ(bytes.rfind("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>", 0), 0u);
    EXPECT_NE(bytes.find("<!-- Centro de ejemplo de Pontrel"), std::string::npos);

    XmlProbe probe(output);
    const auto block = XmlProbe::elements(probe.root()).at(0);
    EXPECT_EQ(XmlProbe::datos(XmlProbe::groups(block).at(0)),
              (std::vector<std::pair<std::string, std::string>>{{"C_ANNO", "2025"}}));
    const auto teachers = XmlProbe::groups(probe.timetables());
    ASSERT_EQ(teachers.size(), employees.size());
    EXPECT_EQ(XmlProbe::attribute(probe.timetables(), "registros"), std::to_string(employees.size()));

    // The placements of each teacher, in SOLUC order, without the unplaced one.
    const auto proft = dbf::Table::open(work.path() / "PROFT.DBF", dbf::OpenMode::Shared);
    std::size_t checked = 0;
    for (std::size_t t = 0; t < teachers.size(); ++t) {
        SCOPED_TRACE("teacher " + std::to_string(t + 1));
        std::vector<const Placement*> mine;
        for (const auto& p : placed)
            if (p.row.prof == proft.text(t, "ABREV") && p.row.dia != "0")
                mine.push_back(&p);
        const auto datos = XmlProbe::datos(teachers[t]);
        ASSERT_EQ(datos.size(), 2u);
        EXPECT_EQ(datos[0], (std::pair<std::string, std::string>{"X_EMPLEADO", employees[t].first}));
        EXPECT_EQ(datos[1], (std::pair<std::string, std::string>{"F_TOMAPOS", employees[t].second}));
        EXPECT_EQ(XmlProbe::attribute(teachers[t], "seq"),
                  "HORARIO_REGULAR_PROFESOR_" + std::to_string(t + 1));
        EXPECT_EQ(XmlProbe::attribute(teachers[t], "registros"), std::to_string(mine.size()));
        const auto activities = XmlProbe::groups(teachers[t]);
        ASSERT_EQ(activities.size(), mine.size());
        for (std::size_t a = 0; a < activities.size(); ++a) {
            SCOPED_TRACE("activity " + std::to_string(a + 1));
            const Placement& p = *mine[a];
            EXPECT_EQ(XmlProbe::attribute(activities[a], "seq"), "ACTIVIDAD_" + std::to_string(a + 1));
            std::map<std::string, std::string> v;
            for (const auto& [name, value] : XmlProbe::datos(activities[a]))
                v[name] = value;
            ASSERT_EQ(v.size(), 11u);
            EXPECT_EQ(v["N_DIASEMANA"], p.row.dia);
            EXPECT_EQ(v["X_TRAMO"], utf8(p.slotKey));
            ASSERT_TRUE(slotMinutes.count(v["X_TRAMO"])) << v["X_TRAMO"];
            EXPECT_EQ(v["N_HORINI"], slotMinutes[v["X_TRAMO"]].first)
                << "minutes back as the document gave them";
            EXPECT_EQ(v["N_HORFIN"], slotMinutes[v["X_TRAMO"]].second);
            EXPECT_EQ(v["X_DEPENDENCIA"], utf8(p.row.aula));
            EXPECT_EQ(v["F_INICIO"], "15/09/2025");
            EXPECT_EQ(v["F_FIN"], "19/06/2026");
            if (p.activity) {
                EXPECT_EQ(v["X_ACTIVIDAD"], "G01");
                EXPECT_EQ(v["X_UNIDAD"], "");
                EXPECT_EQ(v["X_MATERIAOMG"], "");
            } else {
                EXPECT_EQ(v["X_ACTIVIDAD"], "513") << "the sample has the activity 513";
                ASSERT_TRUE(unitCourse.count(v["X_UNIDAD"])) << v["X_UNIDAD"];
                EXPECT_EQ(v["X_OFERTAMATRIG"], unitCourse[v["X_UNIDAD"]]);
                EXPECT_TRUE(offerSubjects.count({v["X_OFERTAMATRIG"], v["X_MATERIAOMG"]}))
                    << v["X_OFERTAMATRIG"] << " / " << v["X_MATERIAOMG"];
            }
            ++checked;
        }
    }
    EXPECT_EQ(checked, placed.size() - 1);
    EXPECT_EQ(run.summary().entriesWritten, placed.size() - 1);
    EXPECT_EQ(run.summary().slotsNotFound, 0u);
    EXPECT_EQ(run.summary().unitsNotFound, 1u) << "only the activity, which has no class unit";
    EXPECT_EQ(run.summary().entriesWithoutTeacher, 0u);
}

} // namespace
} // namespace pontrel::importing
