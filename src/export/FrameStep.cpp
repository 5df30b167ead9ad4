// School-day frames and time slots: JORNADAS_ESCOLARES and TRAMOS_HORARIOS -> DIASHORAST2 (the slots
// of the chosen frames, indexed by start minute), DIASHORAST (Velmora's day-and-slot grid) and
// PERIODOS (code, name and dates of the first chosen frame).

#include "export/FrameSelection.h"
#include "export/StepTable.h"
#include "export/Steps.h"
#include "export/WholeNumber.h"

#include "dbf/Table.h"
#include "platform/Utf8Path.h"

#include <cstdint>
#include <string>
#include <vector>

namespace pontrel::exporting {

namespace {

using dbf::FieldSpec;
using dbf::RecordBuffer;
using dbf::Table;

const std::vector<FieldSpec> kGridFields = {
    {"DIHO", 'C', 10},   {"CODDIHO", 'C', 10},  {"DIA", 'C', 20},      {"TEXTODIA", 'C', 20},
    {"HORA", 'C', 8},    {"TEXTOHOR", 'C', 15}, {"HORADESDE", 'C', 8}, {"HORAHASTA", 'C', 8},
    {"MINUTOS", 'C', 8}, {"MARCO", 'C', 1},     {"MARCOXML", 'C', 10},
};

std::vector<FieldSpec> slotFields() {
    auto fields = kGridFields;
    fields.push_back({"ORDEN", 'I', 0});
    return fields;
}

const std::vector<FieldSpec> kPeriodFields = {
    {"CJORNADA", 'C', 10},
    {"JORNADA", 'C', 40},
    {"FECINI", 'C', 10},
    {"FECFIN", 'C', 10},
};

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
        return chosenFrames(frames.front().value(0), 1);
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
    for (const YedraRecord& record : context.document.loopRecords("TRAMOS_HORARIOS")) {
        ++read;
        const std::string frameCode = record.value(4).substr(0, kFrameCodeWidth);
        if (selection.chosen(frameCode)) {
            const std::int64_t start =
                requireWholeNumber(record.value(2), {"TRAMOS_HORARIOS", record.number(), 2,
                                                     "inicio del tramo en minutos", documentName});
            const std::int64_t end =
                requireWholeNumber(record.value(3), {"TRAMOS_HORARIOS", record.number(), 3,
                                                     "fin del tramo en minutos", documentName});
            RecordBuffer row;
            row.setText("DIHO", "");
            row.setText("DIA", std::to_string(day));
            row.setText("HORA", "");
            row.setText("TEXTOHOR", record.value(1));
            row.setText("CODDIHO", record.value(0));
            row.setText("HORADESDE", timeText(start));
            row.setText("HORAHASTA", timeText(end));
            row.setText("MINUTOS", std::to_string(end - start));
            row.setText("MARCOXML", frameCode);
            row.setInteger("ORDEN", start);
            slots.append(row);
        }
        day = day == selection.dayCycle ? 1 : day + 1;
    }
    return read;
}

void appendGridRecord(Table& grid, const Table& slots, std::size_t slot, const std::string& day,
                      std::int64_t hour) {
    RecordBuffer row;
    row.setText("DIHO", day + std::to_string(hour));
    row.setText("DIA", day);
    row.setText("HORA", std::to_string(hour));
    for (const char* field : {"TEXTOHOR", "CODDIHO", "HORADESDE", "HORAHASTA", "MINUTOS", "MARCOXML"})
        row.setText(field, slots.text(slot, field));
    row.setText("MARCO", "0");
    grid.append(row);
}

// Slots in order of their start minute. One frame: every slot gets a number of its own and is
// repeated on the seven days. Several frames: each slot keeps its day, and slots that start at the
// same minute share a number.
void gridPass(const ChosenFrames& selection, const Table& slots, Table& grid) {
    const auto order = slots.indexOrder("ORDEN");
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
    std::int64_t currentStart = order.empty() ? 0 : slots.integer(order.front(), "ORDEN").value_or(0);
    for (std::size_t slot : order) {
        const std::int64_t start = slots.integer(slot, "ORDEN").value_or(0);
        if (start > currentStart) {
            ++hour;
            currentStart = start;
        }
        appendGridRecord(grid, slots, slot, slots.text(slot, "DIA"), hour);
    }
}

void periodPass(ExportContext& context, const ChosenFrames& selection, Table& periods) {
    for (const YedraRecord& record : context.document.records("JORNADAS_ESCOLARES")) {
        if (record.value(0) != selection.codes[0])
            continue;
        RecordBuffer row;
        row.setText("CJORNADA", record.value(0));
        row.setText("JORNADA", record.value(1));
        row.setText("FECINI", record.value(2));
        row.setText("FECFIN", record.value(3));
        periods.append(row);
    }
}

} // namespace

void frameStep(ExportContext& context) {
    const std::filesystem::path& folder = context.tablesFolder;
    auto tables =
        recreateStepTables(folder, {{"DIASHORAST", kGridFields},
                                    {"DIASHORAST2", slotFields(), dbf::IndexSpec{"ORDEN", "ORDEN"}},
                                    {"PERIODOS", kPeriodFields, std::nullopt, /*deleteMdx=*/false}});
    Table& grid = tables[0];
    Table& slots = tables[1];
    Table& periods = tables[2];
    const std::string written = "DIASHORAST, DIASHORAST2, PERIODOS";

    const auto frames = context.document.records("JORNADAS_ESCOLARES");
    if (frames.empty()) {
        // A document without frames has nothing to choose from: the three tables stay empty.
        context.ui.framesTakenWithoutChoice(frames);
        for (auto& table : tables)
            table.close();
        context.ui.reportProgress({"Marcos y tramos horarios", 0, written});
        return;
    }
    const ChosenFrames selection = chooseFrames(context, frames);

    const std::size_t slotsRead = slotPass(context, selection, slots);
    // Closed and opened again so that the grid is built from the index as it was written.
    slots.close();
    slots = dbf::Table::open(folder / "DIASHORAST2.DBF", dbf::OpenMode::Shared, dbf::Access::ReadOnly);
    gridPass(selection, slots, grid);
    grid.close();
    slots.close();

    periodPass(context, selection, periods);
    periods.close();

    context.ui.reportProgress({"Marcos y tramos horarios", frames.size() + slotsRead, written});
}

} // namespace pontrel::exporting
