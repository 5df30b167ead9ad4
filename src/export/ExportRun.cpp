#include "export/ExportRun.h"

#include "dbf/Error.h"
#include "exchange/runs/BusyCursor.h"
#include "exchange/runs/DocumentChoice.h"
#include "exchange/velmora/TableSetReplacement.h"
#include "exchange/velmora/VelmoraTables.h"
#include "exchange/velmora/WorkingFolder.h"
#include "exchange/velmora/WorkingFolderLock.h"
#include "exchange/yedra/YedraDocument.h"
#include "export/ExportContext.h"
#include "export/PreviewStaging.h"
#include "export/Steps.h"
#include "platform/Utf8Path.h"

#include <map>
#include <optional>
#include <thread>

namespace pontrel::exporting {

namespace fs = std::filesystem;

namespace {

// Every step makes its tables; a missing one means a step broke its promise, and replacing the old
// set by an incomplete one would lose Velmora's table for nothing.
// Also gives each table's records as its step wrote them, for the summary of what this run wrote.
ExportSummary requireStagedTables(const fs::path& staging,
                                  const std::map<std::string, std::size_t>& recordsWritten) {
    std::error_code ec;
    ExportSummary summary;
    for (const velmora::TableLayout* table : velmora::exportedTables()) {
        const fs::path file = staging / table->fileName();
        const auto written = recordsWritten.find(table->name);
        if (!fs::is_regular_file(file, ec) || written == recordsWritten.end())
            throw Error("La exportación no ha creado la tabla " + table->fileName() +
                        "; no se ha cambiado ninguna tabla de la carpeta de trabajo.");
        summary.tables.emplace_back(table->name, written->second);
    }
    summary.orderIndex = fs::is_regular_file(staging / (velmora::diashorast2::layout().name + ".MDX"), ec);
    return summary;
}

// The tables whose stale index a re-creation leaves alone, which the replacement must leave too.
std::vector<std::string> tablesKeepingTheirIndex() {
    std::vector<std::string> names;
    for (const auto* table : velmora::exportedTables())
        if (!table->removeStaleIndex)
            names.push_back(table->name);
    return names;
}

// The seven data-group steps, in their order, writing into `tablesFolder`. Gives the records of
// each table they wrote.
std::map<std::string, std::size_t> runSteps(const YedraDocument& document, const fs::path& tablesFolder,
                                            const fs::path& levelTable, const RunSession& session,
                                            UserInterface& ui, ShortCodeReport* codeReport) {
    ExportContext context{.document = document,
                          .tablesFolder = tablesFolder,
                          .levelTable = levelTable,
                          .documentPath = session.documentPath,
                          .ui = ui,
                          .task513 = false,
                          .subjects = {},
                          .codeReport = codeReport,
                          .recordsWritten = {}};
    subjectStep(context);
    activityStep(context);
    teacherStep(context);
    roomStep(context);
    courseStep(context);
    assignmentStep(context);
    frameStep(context);
    return std::move(context.recordsWritten);
}

// A preview compares with the tables in place; half of them old and half new would compare as nothing
// that an export leaves. The next export or import puts the folder right; a preview only reads.
void refuseHalfReplacedFolder(const fs::path& folder) {
    if (replacementLeftHalfDone(folder))
        throw Error("La carpeta de trabajo " + platform::utf8Of(folder) +
                    " tiene una sustitución de tablas que una ejecución interrumpida dejó a medias: la vista "
                    "previa no puede compararla. La próxima exportación o importación la repara; vuelva a "
                    "pedir la vista previa después. No se ha cambiado nada.");
}

// The working-folder lock for a run that only reads: waits for another Pontrel run as a writer does,
// but a folder where no lock file can be made (read-only) is read without one, since no Pontrel run
// can replace its tables either.
std::optional<WorkingFolderLock> lockForReading(const fs::path& folder, std::chrono::milliseconds wait) {
    const auto deadline = std::chrono::steady_clock::now() + wait;
    for (;;) {
        try {
            if (auto lock = WorkingFolderLock::tryAcquire(folder))
                return lock;
        } catch (const Error&) {
            return std::nullopt;
        }
        if (std::chrono::steady_clock::now() >= deadline)
            throw Error("Otra ejecución de Pontrel está usando las tablas de la carpeta de trabajo " +
                        platform::utf8Of(folder) +
                        ". Espere a que termine y vuelva a pedir la vista previa; no se ha cambiado nada.");
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

} // namespace

// A copy made under Wine may name the level table in any letter case.
std::optional<fs::path> findLevelTable(const RunSession& session) {
    std::error_code ec;
    if (!session.levelTable.empty()) {
        if (fs::is_regular_file(session.levelTable, ec))
            return session.levelTable;
        return std::nullopt;
    }
    if (session.programFolder.empty() || !fs::is_directory(session.programFolder, ec))
        return std::nullopt;
    return findTableFile(session.programFolder, "NIVELCAN.DBF");
}

const std::vector<std::string>& exportedTables() {
    static const std::vector<std::string> tables = [] {
        std::vector<std::string> names;
        for (const auto* table : velmora::exportedTables())
            names.push_back(table->name);
        return names;
    }();
    return tables;
}

RunOutcome ExportRun::run() {
    preview_.clear();
    if (!chooseExistingDocument(session_, ui_))
        return RunOutcome::DocumentMissing;
    const auto levelTable = findLevelTable(session_);
    if (!levelTable) {
        ui_.showMessage(messages::kNoLevelTable);
        return RunOutcome::Stopped;
    }

    // A document that does not load stops the run here, before any table is touched. Only the records
    // of the groups that the steps read are kept: a document may hold many more.
    const YedraDocument document = YedraDocument::loadOutline(
        session_.documentPath, {"MATERIAS", "ACTIVIDADES", "EMPLEADOS", "DEPENDENCIAS", "CURSOS_DEL_CENTRO",
                                "UNIDADES", "TRAMOS_HORARIOS", "JORNADAS_ESCOLARES"});

    BusyCursor busy(ui_);
    const fs::path& folder = session_.workingFolder;
    requireWorkingFolder(folder);
    if (options_.dryRun) {
        PreviewStaging staging;
        const auto written =
            runSteps(document, staging.folder(), *levelTable, session_, ui_, options_.codeReport);
        summary_ = requireStagedTables(staging.folder(), written);
        {
            // The current tables are read under the folder's lock: an export that reaches its
            // replacement meanwhile waits instead of finding them held open, and a journal seen here
            // is not one that a running export is still working through.
            const auto lock = lockForReading(folder, options_.lockWait);
            refuseHalfReplacedFolder(folder);
            preview_ = compareWithWorkingFolder(staging.folder(), folder);
        }
        if (options_.beforeReplacing)
            options_.beforeReplacing();
        return RunOutcome::Completed;
    }
    WorkingFolderLock lock(folder, options_.lockWait);
    if (auto line = recoverWhileLocked(folder))
        ui_.showMessage(*line);

    // The steps build the new set where Velmora cannot see it; the old set stays untouched until the
    // whole run has succeeded.
    TableSetReplacement replacement(folder);
    replacement.beforeEachMove = options_.beforeEachMove;
    const auto written =
        runSteps(document, replacement.stagingFolder(), *levelTable, session_, ui_, options_.codeReport);
    ExportSummary summary = requireStagedTables(replacement.stagingFolder(), written);
    if (options_.beforeReplacing)
        options_.beforeReplacing();
    // PERIODOS never had its stale index removed; Velmora may keep one of its own.
    replacement.commit(tablesKeepingTheirIndex());
    busy.release();
    summary_ = std::move(summary);

    ui_.setResultCode(1);
    ui_.showMessage(messages::kFinished);
    return RunOutcome::Completed;
}

} // namespace pontrel::exporting
