// The round trip on the sample school: the export run writes the working tables, a small placer of
// ours writes SOLUC as the timetable tool would (dBase III, numeric DIA and HORA), the import run
// writes the timetable document, and every element of it is checked against the sample document.

#include "import/WorkingTablesFixture.h"
#include "import/XmlProbe.h"
#include "support/SampleSchool.h"
#include "support/ScriptedUserInterface.h"

#include "exchange/text/Ansi.h"
#include "exchange/yedra/YedraDocument.h"
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
    const fs::path sample = testing::sampleSchool();
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

    // Strict: the sample's timetable refers to nothing the document lacks. Its rooms without a key and
    // its shortened room code come back as the export made them, and are listed apart.
    ui.documents.push_back(document);
    ImportRun run(session, ui, {.strict = true});
    ASSERT_EQ(run.run(), RunOutcome::Completed) << ui.messages.back();
    EXPECT_EQ(ui.teacherDialogs, 0) << "every teacher of the sample has both keys";
    EXPECT_TRUE(run.summary().missingKeys.empty()) << missingKeysStopMessage(run.summary().missingKeys);
    ASSERT_EQ(run.summary().derivedCodes.size(), 1u);
    EXPECT_EQ(run.summary().derivedCodes[0].kind, "Dependencias (X_DEPENDENCIA)");
    EXPECT_EQ(std::set<std::string>(run.summary().derivedCodes[0].values.begin(),
                                    run.summary().derivedCodes[0].values.end()),
              (std::set<std::string>{"Aula de de", "Aula de d1", "AULAINFOA3"}));

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

// Two subjects that look alike once cut to the tables' widths: the same name and codes that agree in
// their first 10 characters (ABCDEFGHIJKLMNO gets ABCDEFGHIJ, ABCDEFGHIJXYZ gets ABCDEFGHI1). The
// second one is also taught in a second offer. Filed under its own short code, that repeat lets the
// timetable name the right subject when SOLUC uses the second subject's code in the second offer;
// filed under the first look-alike's code, the entry would find no subject key at all.
TEST(RoundTrip, RepeatOfALookAlikeSubjectNamesItsOwnSubject) {
    const std::string xml = R"(<?xml version="1.0" encoding="UTF-8"?>
<SERVICIO>
  <BLOQUE_DATOS><C_ANNO>2025</C_ANNO>
    <grupo_datos seq="MATERIAS">
      <grupo_datos><dato>3012</dato><dato>1</dato><dato>Uno</dato><dato>ABCDEFGHIJKLMNO</dato><dato>120</dato></grupo_datos>
      <grupo_datos><dato>3012</dato><dato>2</dato><dato>Uno</dato><dato>ABCDEFGHIJXYZ</dato><dato>120</dato></grupo_datos>
      <grupo_datos><dato>3013</dato><dato>3</dato><dato>Uno</dato><dato>ABCDEFGHIJXYZ</dato><dato>120</dato></grupo_datos>
    </grupo_datos>
    <grupo_datos seq="EMPLEADOS">
      <grupo_datos><dato>204310</dato><dato>01/09/2015</dato><dato>Varios</dato><dato>García</dato><dato>López</dato><dato>Ana</dato><dato></dato></grupo_datos>
    </grupo_datos>
    <grupo_datos seq="DEPENDENCIAS">
      <grupo_datos><dato>A101</dato><dato>Aula 1.01</dato></grupo_datos>
    </grupo_datos>
    <grupo_datos seq="CURSOS_DEL_CENTRO">
      <grupo_datos><dato>3012</dato><dato>1º E.S.O.</dato></grupo_datos>
      <grupo_datos><dato>3013</dato><dato>2º E.S.O.</dato></grupo_datos>
    </grupo_datos>
    <grupo_datos seq="UNIDADES">
      <grupo_datos><dato>51001</dato><dato>1º ESO A</dato><dato>3012</dato></grupo_datos>
      <grupo_datos><dato>51002</dato><dato>2º ESO A</dato><dato>3013</dato></grupo_datos>
    </grupo_datos>
    <grupo_datos seq="JORNADAS_ESCOLARES">
      <grupo_datos><dato>JOR1</dato><dato>Jornada de mañana</dato><dato>15/09/2025</dato><dato>19/06/2026</dato></grupo_datos>
    </grupo_datos>
    <grupo_datos seq="TRAMOS_HORARIOS">
      <grupo_datos><dato>1101</dato><dato>1ª hora</dato><dato>480</dato><dato>535</dato><dato>JOR1</dato></grupo_datos>
    </grupo_datos>
  </BLOQUE_DATOS>
</SERVICIO>
)";
    testing::ScratchFolder work, docs;
    const fs::path document = docs.path() / "parecidas.xml";
    testing::writeFile(document, xml);
    RunSession session;
    session.workingFolder = work.path();
    session.programFolder = PONTREL_BIN_DIR;
    testing::ScriptedUserInterface ui;
    ui.documents.push_back(document);
    ASSERT_EQ(exporting::ExportRun(session, ui).run(), RunOutcome::Completed);

    auto open = [&](const char* name) { return dbf::Table::open(work.path() / name, dbf::OpenMode::Shared); };
    std::string firstUnit, secondUnit, slotDay, slotHour, slotFrame;
    {
        const auto units = open("GRUPOST.DBF");
        firstUnit = units.text(*units.locate({{"CLAVE", dbf::Value{std::string("51001")}}}), "ABREV");
        secondUnit = units.text(*units.locate({{"CLAVE", dbf::Value{std::string("51002")}}}), "ABREV");
        const auto slots = open("DIASHORAST.DBF");
        ASSERT_GT(slots.recordCount(), 0u);
        slotDay = slots.text(0, "DIA");
        slotHour = slots.text(0, "HORA");
        slotFrame = slots.text(0, "MARCO");
        const auto names = open("ASIGNOMT.DBF");
        ASSERT_EQ(names.text(0, "COD"), "ABCDEFGHIJ");
        ASSERT_EQ(names.text(1, "COD"), "ABCDEFGHI1") << "the second look-alike's own code";
        ASSERT_EQ(names.text(1, "CODLARGO"), "ABCDEFGHIJ");
        ASSERT_EQ(names.text(1, "NOMBRE"), names.text(0, "NOMBRE")) << "stored alike";
    }
    const std::string teacher = open("PROFT.DBF").text(0, "ABREV");

    // As the planner placed them: the second subject by its own code in either offer, and by the code
    // that the assignments give every subject named "Uno" (the first look-alike's, found by name).
    testing::writeSoluc(work.path() / "SOLUC.DBF",
                        {{teacher, slotDay, slotHour, slotFrame, "ABCDEFGHI1", secondUnit, "", ""},
                         {teacher, slotDay, slotHour, slotFrame, "ABCDEFGHI1", firstUnit, "", ""},
                         {teacher, slotDay, slotHour, slotFrame, "ABCDEFGHIJ", secondUnit, "", ""}},
                        testing::SolucStorage::DbaseIIINumeric);
    ui.documents.push_back(document);
    ImportRun run(session, ui);
    ASSERT_EQ(run.run(), RunOutcome::Completed);

    XmlProbe probe(docs.path() / "ResultadoDastelparecidas.xml");
    const auto teachers = XmlProbe::groups(probe.timetables());
    ASSERT_EQ(teachers.size(), 1u);
    const auto activities = XmlProbe::groups(teachers[0]);
    ASSERT_EQ(activities.size(), 3u);
    std::vector<std::pair<std::string, std::string>> named; // offer and subject key of each entry
    for (const auto* activity : activities) {
        std::map<std::string, std::string> v;
        for (const auto& [name, value] : XmlProbe::datos(activity))
            v[name] = value;
        named.emplace_back(v["X_OFERTAMATRIG"], v["X_MATERIAOMG"]);
    }
    EXPECT_EQ(named[0], (std::pair<std::string, std::string>{"3013", "3"}))
        << "the second subject in the second offer (filed under the first look-alike's code it finds none)";
    EXPECT_EQ(named[1], (std::pair<std::string, std::string>{"3012", "2"})) << "the second subject";
    EXPECT_EQ(named[2], (std::pair<std::string, std::string>{"3013", "3"}))
        << "the only subject named Uno that the second offer teaches";
    EXPECT_EQ(run.summary().subjectsNotFound, 0u);
}

} // namespace
} // namespace pontrel::importing
