#include "export/StepTable.h"

#include "dbf/Error.h"
#include "exchange/text/Ansi.h"
#include "exchange/velmora/TableOpening.h"
#include "exchange/velmora/WorkingFolder.h"
#include "export/ExportContext.h"

namespace pontrel::exporting {

std::vector<dbf::Table>
recreateStepTables(const std::filesystem::path& folder,
                   const std::vector<std::reference_wrapper<const velmora::TableLayout>>& layouts) {
    // Velmora expects all of a step's tables to be replaced together: every one is created before
    // the first is opened, so a failed creation never leaves a filled table beside a missing one.
    for (const velmora::TableLayout& layout : layouts)
        recreateTable(folder, layout.name, layout.fields, layout.index, layout.removeStaleIndex);

    std::vector<dbf::Table> tables;
    tables.reserve(layouts.size());
    for (const velmora::TableLayout& layout : layouts)
        tables.push_back(
            dbf::Table::open(folder / layout.fileName(), dbf::OpenMode::Shared, dbf::Access::ReadWrite));
    return tables;
}

void closeStepTable(ExportContext& context, dbf::Table& table, const velmora::TableLayout& layout) {
    const std::size_t records = table.recordCount();
    table.close();
    context.recordsWritten[layout.name] = records;
}

dbf::Table openRunTable(const std::filesystem::path& folder, const velmora::TableLayout& table,
                        dbf::Access access) {
    return openRequiredTable(folder, table.fileName(), dbf::OpenMode::Shared, access,
                             {"la carpeta", ": debía crearla un paso anterior de esta exportación."});
}

std::string leftChars(std::string_view text, std::size_t count) {
    return std::string(text.substr(0, count));
}

std::string storedText(std::string_view text, std::size_t width) {
    auto stored = text.substr(0, width);
    const auto last = stored.find_last_not_of(' ');
    return std::string(last == std::string_view::npos ? std::string_view{} : stored.substr(0, last + 1));
}

namespace {

// The report's row for a code stored as `stored`, with Yedra's texts as the document gives them.
ChangedCode changedCode(const CodeOrigin& origin, std::string stored, ShortCodeReason reason) {
    return {origin.table,
            origin.field,
            origin.yedraKeyText.empty() ? ansi::toUtf8(origin.yedraKey) : origin.yedraKeyText,
            origin.yedraValueText.empty() ? ansi::toUtf8(origin.yedraValue) : origin.yedraValueText,
            std::move(stored),
            reason};
}

} // namespace

std::string assignCode(ExportContext& context, ShortCodeRegistry& codes, std::string_view candidate,
                       const CodeOrigin& origin) {
    AssignedCode assigned = codes.assignExplained(candidate);
    if (context.codeReport) {
        ShortCodeReason reason = assigned.reason;
        if (reason == ShortCodeReason::None && origin.candidateCut)
            reason = ShortCodeReason::Cut;
        if (reason != ShortCodeReason::None)
            context.codeReport->record(changedCode(origin, assigned.code, reason));
    }
    return std::move(assigned.code);
}

void noteCutCode(ExportContext& context, const CodeOrigin& origin, std::size_t width) {
    if (context.codeReport && origin.yedraValue.size() > width)
        context.codeReport->record(
            changedCode(origin, storedText(origin.yedraValue, width), ShortCodeReason::Cut));
}

} // namespace pontrel::exporting
