// Courses and class units: CURSOS_DEL_CENTRO -> CURSOST, UNIDADES -> GRUPOST.
// The level of a course comes from the installation's level table NIVELCAN.DBF, keyed by the course
// key as an integer; GRUPOST is the link Velmora and the import run use between unit codes and Yedra.

#include "export/StepTable.h"
#include "export/Steps.h"
#include "export/WholeNumber.h"

#include "dbf/Table.h"
#include "exchange/text/Ansi.h"
#include "exchange/yedra/YedraGroups.h"
#include "platform/Utf8Path.h"

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

namespace pontrel::exporting {

namespace {

using dbf::RecordBuffer;
using dbf::Table;

namespace cursost = velmora::cursost;
namespace grupost = velmora::grupost;
namespace cursosDelCentro = yedra::cursosDelCentro;
namespace unidades = yedra::unidades;

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

// The unit code's start value: the name's characters without its blanks, at most `length` of them
// (the code's width). Only the space is left out; a tab inside the name stays and is trimmed only at
// the ends.
std::string unitCodeStart(const std::string& name, std::size_t length) {
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
    const auto records = context.document.loopRecords(cursosDelCentro::kGroup);
    for (const YedraRecord& record : records) {
        const std::string key = record.value(cursosDelCentro::kKey);
        const std::string name = record.value(cursosDelCentro::kName);
        const std::int32_t number = requireWholeNumber(
            key, {cursosDelCentro::kGroup, record.number(), cursosDelCentro::kKey,
                  "clave del curso X_OFERTAMATRIG", platform::utf8Of(context.document.path())});

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
        row.setText(cursost::kAbrev, firstCharacter(level) + courseNumber);
        row.setText(cursost::kNivel, level);
        row.setText(cursost::kCurso, courseNumber);
        row.setText(cursost::kClave, key);
        row.setText(cursost::kEstud, description);
        courses.append(row);
    }
    return records.size();
}

std::size_t unitPass(ExportContext& context, const Table& courses, Table& units) {
    // Unit codes are compared without regard to letter case, accented letters included.
    ShortCodeRegistry codes{ShortCodeSettings{.preCut = true, .shortening = true, .ignoreCase = true}};
    const auto records = context.document.loopRecords(unidades::kGroup);
    units.appendOnly();
    for (const YedraRecord& record : records) {
        const std::string unitKey = record.value(unidades::kKey);
        const std::string name = record.value(unidades::kName);
        const std::string courseKey = record.value(unidades::kCourseKey);

        // CURSOST holds the course keys cut to 10: a longer key is not found by its units.
        std::string level, courseNumber, courseDescription;
        if (auto course = courses.locate({{cursost::kClave, dbf::Value{courseKey}}})) {
            level = courses.text(*course, cursost::kNivel);
            courseNumber = courses.text(*course, cursost::kCurso);
            courseDescription = courses.text(*course, cursost::kEstud);
        }
        const std::string groupLetter = lastCharacter(name);
        const std::string description = !courseDescription.empty()
                                            ? "(" + name + ") " + courseDescription
                                            : " " + level + " " + courseNumber + " " + groupLetter;

        RecordBuffer row;
        const std::size_t codeWidth = grupost::layout().width(grupost::kAbrev);
        const CodeOrigin origin{grupost::layout().name.c_str(),
                                grupost::kAbrev,
                                unitKey,
                                name,
                                unitCodeStart(name, codeWidth + 1).size() > codeWidth,
                                record.text(unidades::kKey),
                                record.text(unidades::kName)};
        row.setText(grupost::kAbrev, assignCode(context, codes, unitCodeStart(name, codeWidth), origin));
        row.setText(grupost::kTurno, "");
        row.setText(grupost::kNivel, level);
        row.setText(grupost::kCurso, courseNumber);
        row.setText(grupost::kGrupo, groupLetter);
        row.setText(grupost::kClave, unitKey);
        row.setText(grupost::kClaveCurso, courseKey);
        row.setText(grupost::kDescrip, description);
        units.append(row);
    }
    return records.size();
}

} // namespace

void courseStep(ExportContext& context) {
    auto tables = recreateStepTables(context.tablesFolder, {cursost::layout(), grupost::layout()});
    Table& courses = tables[0];
    Table& units = tables[1];
    std::size_t read = coursePass(context, courses);
    read += unitPass(context, courses, units);
    closeStepTable(context, units, grupost::layout());
    closeStepTable(context, courses, cursost::layout());

    context.ui.reportProgress({"Cursos y unidades", read, "CURSOST, GRUPOST"});
}

} // namespace pontrel::exporting
