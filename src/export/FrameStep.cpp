// School-day frames and time slots: JORNADAS_ESCOLARES and TRAMOS_HORARIOS -> DIASHORAST2 (the slots
// of the chosen frames, indexed by start minute), DIASHORAST (Velmora's day-and-slot grid) and
// PERIODOS (code, name and dates of the first chosen frame).

#include "export/FrameSelection.h"
#include "export/StepTable.h"
#include "export/Steps.h"
#include "export/WholeNumber.h"

#include "dbf/Table.h"
#include "exchange/yedra/YedraGroups.h"
#include "platform/Utf8Path.h"

#include <cstdint>
#include <string>
#include <vector>

namespace pontrel::exporting {

namespace {

using dbf::RecordBuffer;
using dbf::Table;

namespace diashorast = velmora::diashorast;
namespace diashorast2 = velmora::diashorast2;
namespace periodos = velmora::periodos;
namespace jornadas = yedra::jornadasEscolares;
namespace tramos = yedra::tramosHorarios;

// With a single frame its slots are repeated on every day of the week.
constexpr int kDaysOfWeek = 7;

std::string twoDigits(std::int64_t n) {
    std::string text = std::to_string(n);
    return text.size() < 2 ? "0" + text : text;
}

// HH:MM of a minute count after midnight: 480 -> 08:00, 535 -> 08:55.
std::string timeText(std::int64_t minutes) {
    std::int64_t hours = minutes / 60;
    if (minutes % 60 < 0)
        --hours; // rounded down, also for a negative count
    return twoDigits(hours) + ":" + twoDigits(minutes - hours * 60);
}

// With more than one frame the user chooses 1 to 5 of them; a choice that was not accepted (the
// dialog has said why) is asked again.
ChosenFrames chooseFrames(ExportContext& context, const std::vector<YedraRecord>& frames) {
    if (frames.size() == 1) {
        context.ui.framesTakenWithoutChoice(frames);
        return chosenFrames(frames.front().value(jornadas::kCode), 1);
    }
    FrameChoice choice = context.ui.chooseFrames(context.documentPath, frames);
    while (!choice.accepted)
        choice = context.ui.chooseFrames(context.documentPath, frames);
    return chosenFrames(choice.selection, choice.frameCount);
}

std::size_t slotPass(ExportContext& context, const ChosenFrames& selection, Table& slots) {
    const std::string documentName = platform::utf8Of(context.document.path());
    std::size_t read = 0;
    int day = 1; // moves only with the records that the loop reads
    for (const YedraRecord& record : context.document.loopRecords(tramos::kGroup)) {
        ++read;
        const std::string frameCode = record.value(tramos::kFrameCode).substr(0, kFrameCodeWidth);
        if (selection.chosen(frameCode)) {
            const std::int64_t start = requireWholeNumber(
                record.value(tramos::kStartMinute), {tramos::kGroup, record.number(), tramos::kStartMinute,
                                                     "inicio del tramo en minutos", documentName});
            const std::int64_t end = requireWholeNumber(record.value(tramos::kEndMinute),
                                                        {tramos::kGroup, record.number(), tramos::kEndMinute,
                                                         "fin del tramo en minutos", documentName});
            RecordBuffer row;
            row.setText(diashorast2::kDiHo, "");
            row.setText(diashorast2::kDia, std::to_string(day));
            row.setText(diashorast2::kHora, "");
            row.setText(diashorast2::kTextoHor, record.value(tramos::kText));
            row.setText(diashorast2::kCodDiHo, record.value(tramos::kKey));
            row.setText(diashorast2::kHoraDesde, timeText(start));
            row.setText(diashorast2::kHoraHasta, timeText(end));
            row.setText(diashorast2::kMinutos, std::to_string(end - start));
            row.setText(diashorast2::kMarcoXml, frameCode);
            row.setInteger(diashorast2::kOrden, start);
            slots.append(row);
        }
        day = day == selection.dayCycle ? 1 : day + 1;
    }
    return read;
}

void appendGridRecord(Table& grid, const Table& slots, std::size_t slot, const std::string& day,
                      std::int64_t hour) {
    RecordBuffer row;
    using namespace diashorast;
    row.setText(kDiHo, day + std::to_string(hour));
    row.setText(kDia, day);
    row.setText(kHora, std::to_string(hour));
    // The slot's own fields, under the same names in both tables.
    for (const char* field : {kTextoHor, kCodDiHo, kHoraDesde, kHoraHasta, kMinutos, kMarcoXml})
        row.setText(field, slots.text(slot, field));
    row.setText(kMarco, "0");
    grid.append(row);
}

// Slots in order of their start minute. One frame: every slot gets a number of its own and is
// repeated on the seven days. Several frames: each slot keeps its day, and slots that start at the
// same minute share a number.
void gridPass(const ChosenFrames& selection, const Table& slots, Table& grid) {
    const auto order = slots.indexOrder(diashorast2::kOrdenTag);
    if (selection.dayCycle == 1) {
        std::int64_t hour = 0;
        for (std::size_t slot : order) {
            ++hour;
            for (int day = 1; day <= kDaysOfWeek; ++day)
                appendGridRecord(grid, slots, slot, std::to_string(day), hour);
        }
        return;
    }
    std::int64_t hour = 1;
    std::int64_t currentStart =
        order.empty() ? 0 : slots.integer(order.front(), diashorast2::kOrden).value_or(0);
    for (std::size_t slot : order) {
        const std::int64_t start = slots.integer(slot, diashorast2::kOrden).value_or(0);
        if (start > currentStart) {
            ++hour;
            currentStart = start;
        }
        appendGridRecord(grid, slots, slot, slots.text(slot, diashorast2::kDia), hour);
    }
}

void periodPass(ExportContext& context, const ChosenFrames& selection, Table& periods) {
    for (const YedraRecord& record : context.document.records(jornadas::kGroup)) {
        if (record.value(jornadas::kCode) != selection.codes[0])
            continue;
        RecordBuffer row;
        row.setText(periodos::kCJornada, record.value(jornadas::kCode));
        row.setText(periodos::kJornada, record.value(jornadas::kName));
        row.setText(periodos::kFecIni, record.value(jornadas::kStartDate));
        row.setText(periodos::kFecFin, record.value(jornadas::kEndDate));
        periods.append(row);
    }
}

} // namespace

void frameStep(ExportContext& context) {
    const std::filesystem::path& folder = context.tablesFolder;
    auto tables =
        recreateStepTables(folder, {diashorast::layout(), diashorast2::layout(), periodos::layout()});
    Table& grid = tables[0];
    Table& slots = tables[1];
    Table& periods = tables[2];
    const std::string written = "DIASHORAST, DIASHORAST2, PERIODOS";

    const auto frames = context.document.records(jornadas::kGroup);
    if (frames.empty()) {
        // A document without frames has nothing to choose from: the three tables stay empty.
        context.ui.framesTakenWithoutChoice(frames);
        closeStepTable(context, grid, diashorast::layout());
        closeStepTable(context, slots, diashorast2::layout());
        closeStepTable(context, periods, periodos::layout());
        context.ui.reportProgress({"Marcos y tramos horarios", 0, written});
        return;
    }
    const ChosenFrames selection = chooseFrames(context, frames);

    const std::size_t slotsRead = slotPass(context, selection, slots);
    // Closed and opened again so that the grid is built from the index as it was written.
    closeStepTable(context, slots, diashorast2::layout());
    slots = dbf::Table::open(folder / diashorast2::layout().fileName(), dbf::OpenMode::Shared,
                             dbf::Access::ReadOnly);
    gridPass(selection, slots, grid);
    closeStepTable(context, grid, diashorast::layout());
    slots.close();

    periodPass(context, selection, periods);
    closeStepTable(context, periods, periodos::layout());

    context.ui.reportProgress({"Marcos y tramos horarios", frames.size() + slotsRead, written});
}

} // namespace pontrel::exporting
