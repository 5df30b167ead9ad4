// Courses and class units: CURSOS_DEL_CENTRO -> CURSOST, UNIDADES -> GRUPOST.
// The level of a course comes from the installation's level table NIVELCAN.DBF, keyed by the course
// key as an integer; GRUPOST is the link Velmora and the import run use between unit codes and Yedra.

#include "export/StepTable.h"
#include "export/Steps.h"
#include "export/WholeNumber.h"

#include "dbf/Table.h"
#include "exchange/Ansi.h"
#include "platform/Utf8Path.h"

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

namespace pontrel::exporting {

namespace {

using dbf::FieldSpec;
using dbf::RecordBuffer;
using dbf::Table;

const std::vector<FieldSpec> kCourseFields = {
    {"ABREV", 'C', 3}, {"TURNO", 'C', 1},  {"NIVEL", 'C', 5},
    {"CURSO", 'C', 3}, {"CLAVE", 'C', 10}, {"ESTUD", 'C', 80},
};

const std::vector<FieldSpec> kUnitFields = {
    {"ABREV", 'C', 10}, {"TURNO", 'C', 1},  {"NIVEL", 'C', 5},       {"CURSO", 'C', 3},
    {"GRUPO", 'C', 2},  {"CLAVE", 'C', 10}, {"CLAVECURSO", 'C', 10}, {"DESCRIP", 'C', 80},
};

// A course key that the level table does not know, or knows with an empty abbreviation.
const std::string kUnknownLevel = "Niv";

struct Level {
    std::string abbreviation; // NIVEL_ABREV
    std::string name;         // NIVEL
};

// The level table read once into a map: the first record of a key wins, as a scan from the top would.
std::unordered_map<std::int64_t, Level> readLevels(const std::filesystem::path& file) {
    Table levels = Table::open(file, dbf::OpenMode::Shared, dbf::Access::ReadOnly);
    std::unordered_map<std::int64_t, Level> byKey;
    byKey.reserve(levels.recordCount());
    for (std::size_t r = 0; r < levels.recordCount(); ++r) {
        auto key = levels.integer(r, "X_OFERTAMATRIG");
        if (key)
            byKey.emplace(*key, Level{levels.text(r, "NIVEL_ABREV"), levels.text(r, "NIVEL")});
    }
    levels.close();
    return byKey;
}

std::string firstCharacter(const std::string& text) {
    return text.substr(0, 1);
}
std::string lastCharacter(const std::string& text) {
    return text.empty() ? text : text.substr(text.size() - 1);
}

// The unit code's start value: the name's characters without its blanks, at most 10 of them. Only
// the space is left out; a tab inside the name stays and is trimmed only at the ends.
std::string unitCodeStart(const std::string& name, std::size_t length = 10) {
    std::string start;
    for (char c : name) {
        if (start.size() == length)
            break;
        if (c != ' ')
            start += c;
    }
    return std::string(ansi::trimControls(start));
}

std::size_t coursePass(ExportContext& context, Table& courses) {
    const auto levels = readLevels(context.levelTable);
    std::size_t read = 0;
    for (const YedraRecord& record : context.document.loopRecords("CURSOS_DEL_CENTRO")) {
        ++read;
        const std::string key = record.value(0);
        const std::string name = record.value(1);
        const std::int32_t number = requireWholeNumber(key, {"CURSOS_DEL_CENTRO", record.number(), 0,
                                                             "clave del curso X_OFERTAMATRIG",
                                                             platform::utf8Of(context.document.path())});

        std::string level = kUnknownLevel;
        std::string description = name;
        if (auto found = levels.find(number); found != levels.end()) {
            level = found->second.abbreviation;
            description = name + " (" + found->second.name + ")";
        }
        if (level.empty())
            level = kUnknownLevel;
        const std::string courseNumber = firstCharacter(name);

        RecordBuffer row;
        row.setText("ABREV", firstCharacter(level) + courseNumber);
        row.setText("NIVEL", level);
        row.setText("CURSO", courseNumber);
        row.setText("CLAVE", key);
        row.setText("ESTUD", description);
        courses.append(row);
    }
    return read;
}

std::size_t unitPass(ExportContext& context, const Table& courses, Table& units) {
    // Unit codes are compared without regard to letter case, accented letters included.
    ShortCodeRegistry codes{ShortCodeSettings{.preCut = true, .shortening = true, .ignoreCase = true}};
    std::size_t read = 0;
    for (const YedraRecord& record : context.document.loopRecords("UNIDADES")) {
        ++read;
        const std::string unitKey = record.value(0);
        const std::string name = record.value(1);
        const std::string courseKey = record.value(2);

        // CURSOST holds the course keys cut to 10: a longer key is not found by its units.
        std::string level, courseNumber, courseDescription;
        if (auto course = courses.locate({{"CLAVE", dbf::Value{courseKey}}})) {
            level = courses.text(*course, "NIVEL");
            courseNumber = courses.text(*course, "CURSO");
            courseDescription = courses.text(*course, "ESTUD");
        }
        const std::string groupLetter = lastCharacter(name);
        const std::string description = !courseDescription.empty()
                                            ? "(" + name + ") " + courseDescription
                                            : " " + level + " " + courseNumber + " " + groupLetter;

        RecordBuffer row;
        const CodeOrigin origin{
            "GRUPOST",      "ABREV",       unitKey, name, unitCodeStart(name, 11).size() > 10,
            record.text(0), record.text(1)};
        row.setText("ABREV", assignCode(context, codes, unitCodeStart(name), origin));
        row.setText("TURNO", "");
        row.setText("NIVEL", level);
        row.setText("CURSO", courseNumber);
        row.setText("GRUPO", groupLetter);
        row.setText("CLAVE", unitKey);
        row.setText("CLAVECURSO", courseKey);
        row.setText("DESCRIP", description);
        units.append(row);
    }
    return read;
}

} // namespace

void courseStep(ExportContext& context) {
    auto tables =
        recreateStepTables(context.tablesFolder, {{"CURSOST", kCourseFields}, {"GRUPOST", kUnitFields}});
    Table& courses = tables[0];
    Table& units = tables[1];
    std::size_t read = coursePass(context, courses);
    read += unitPass(context, courses, units);
    units.close();
    courses.close();

    context.ui.reportProgress({"Cursos y unidades", read, "CURSOST, GRUPOST"});
}

} // namespace pontrel::exporting
