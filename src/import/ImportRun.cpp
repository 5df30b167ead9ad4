#include "import/ImportRun.h"

#include "dbf/Error.h"
#include "dbf/Table.h"
#include "exchange/Ansi.h"
#include "exchange/BusyCursor.h"
#include "exchange/DocumentChoice.h"
#include "exchange/TableSetReplacement.h"
#include "exchange/WorkingFolder.h"
#include "exchange/WorkingFolderLock.h"
#include "exchange/YedraDocument.h"
#include "import/AcademicYear.h"
#include "import/ActivityAssembler.h"
#include "import/DocumentText.h"
#include "import/SolucEntry.h"
#include "import/TeacherKeys.h"
#include "import/TimetableDocumentWriter.h"
#include "platform/Regional.h"
#include "platform/Utf8Path.h"

#include <system_error>
#include <unordered_set>

namespace pontrel::importing {

namespace {

namespace fs = std::filesystem;

fs::path requireTable(const fs::path& folder, std::string_view name) {
    if (auto found = findTableFile(folder, name))
        return *found;
    throw Error("No se encuentra la tabla " + std::string(name) + " en la carpeta de trabajo «" +
                platform::utf8Of(folder) + "». No se ha escrito nada.");
}

dbf::Table openTable(const fs::path& folder, std::string_view name, dbf::OpenMode mode) {
    return dbf::Table::open(requireTable(folder, name), mode, dbf::Access::ReadOnly);
}

// The tables the run holds from step 4 to its end, opened in the run's order. PROFT is shared: the
// teacher data dialog edits it meanwhile; the others are held exclusively.
struct WorkingTables {
    dbf::Table soluc;
    dbf::Table units;
    dbf::Table courses;
    dbf::Table teachers;
    dbf::Table rooms;
    dbf::Table subjects;
    dbf::Table subjectsByOffer;
    dbf::Table slots;
    dbf::Table assignments;

    static WorkingTables open(const fs::path& folder) {
        using dbf::OpenMode;
        // Braced initialisation runs in the order written, which is the order the tables are opened.
        return WorkingTables{openTable(folder, "SOLUC.DBF", OpenMode::Exclusive),
                             openTable(folder, "GRUPOST.DBF", OpenMode::Exclusive),
                             openTable(folder, "CURSOST.DBF", OpenMode::Exclusive),
                             openTable(folder, "PROFT.DBF", OpenMode::Shared),
                             openTable(folder, "AULAT.DBF", OpenMode::Exclusive),
                             openTable(folder, "ASIGNOMT.DBF", OpenMode::Exclusive),
                             openTable(folder, "ASIGNOMT2.DBF", OpenMode::Exclusive),
                             openTable(folder, "DIASHORAST.DBF", OpenMode::Exclusive),
                             openTable(folder, "ASIGT.DBF", OpenMode::Exclusive)};
    }
};

} // namespace

std::string uncountedRecordsMessage(const UncountedRecords& table) {
    return "La tabla «" + platform::utf8Of(table.table) + "» guarda " + std::to_string(table.recordsRead) +
           " registros, pero su cabecera solo cuenta " + std::to_string(table.headerCount) +
           " (otro programa la dejó a medio escribir o sin poner al día): se han leído los " +
           std::to_string(table.recordsRead) + ".";
}

void ImportRun::noteUncountedRecords(const dbf::Table& table) {
    const std::size_t beyond = table.recordsBeyondHeaderCount();
    if (beyond == 0)
        return;
    UncountedRecords uncounted{table.path(), table.headerRecordCount(), table.headerRecordCount() + beyond};
    ui_.showMessage(uncountedRecordsMessage(uncounted));
    summary_.uncountedRecords.push_back(std::move(uncounted));
}

RunOutcome ImportRun::run() {
    summary_ = {};
    if (!chooseExistingDocument(session_, ui_))
        return RunOutcome::DocumentMissing;

    BusyCursor busy(ui_);
    TimetableDocumentWriter writer(clock_ ? clock_ : std::function<std::string()>(platform::regionalNow));
    if (auto stop = convert(writer)) {
        busy.release();
        ui_.showMessage(stop->message);
        return stop->outcome;
    }
    // A strict run keeps the earlier output when the timetable refers to data the document lacks.
    if (options_.strict && !summary_.missingKeys.empty()) {
        busy.release();
        ui_.showMessage(missingKeysStopMessage(summary_.missingKeys));
        return RunOutcome::Stopped;
    }
    // The tables are closed by now; only a complete document reaches the disk.
    summary_.output = writer.SaveDocument(session_.documentPath);
    busy.release();
    ui_.setResultCode(1);
    ui_.showMessage(kFinishedMessage);
    return RunOutcome::Completed;
}

std::optional<ImportRun::Stop> ImportRun::convert(TimetableDocumentWriter& writer) {
    const fs::path folder = session_.workingFolder;
    requireWorkingFolder(folder);
    // An export writing the folder meanwhile would change the tables under the run; one killed half
    // way through its replacement left a mix that must be put right before a table is read. A folder
    // that cannot be written (a read-only disk, no permission) can still be read: without the lock,
    // which the summary says, and without anything the run would write there.
    std::string whyNoLock;
    const std::optional<WorkingFolderLock> lock = WorkingFolderLock::forReading(folder, lockWait_, whyNoLock);
    if (lock) {
        if (auto line = recoverWhileLocked(folder))
            ui_.showMessage(*line);
    } else {
        summary_.folderNotLocked = whyNoLock;
        if (replacementInterrupted(folder))
            throw Error("La carpeta de trabajo «" + platform::utf8Of(folder) +
                        "» tiene una sustitución de tablas interrumpida que hay que reparar antes de leerla, "
                        "y Pontrel no puede escribir en ella (" +
                        whyNoLock +
                        "). Abra Pontrel con permiso de escritura en la carpeta. No se ha escrito "
                        "nada.");
    }
    WorkingTables tables = WorkingTables::open(folder);
    for (const dbf::Table* table :
         {&tables.soluc, &tables.units, &tables.courses, &tables.teachers, &tables.rooms, &tables.subjects,
          &tables.subjectsByOffer, &tables.slots, &tables.assignments})
        noteUncountedRecords(*table);

    YedraDocument document = YedraDocument::loadOutline(session_.documentPath, MasterDataCheck::groups());
    const std::string year = academicYear(document);
    MasterDataCheck check(document);

    const auto periods = findTableFile(folder, "PERIODOS.DBF");
    if (!periods)
        return Stop{RunOutcome::Stopped, kNoPeriodsMessage};
    std::string courseStart;
    std::string courseEnd;
    {
        auto table = dbf::Table::open(*periods, dbf::OpenMode::Shared);
        noteUncountedRecords(table);
        if (table.recordCount() > 0) {
            courseStart = documentText(table, 0, "FECINI");
            courseEnd = documentText(table, 0, "FECFIN");
        }
    }

    writer.StartDocument(std::move(document), year);
    if (!writer.encodingNote().empty())
        ui_.showMessage(writer.encodingNote());

    // Teacher-key gate: PROFT read afresh through an opening of its own; the dialog at most once.
    // The teacher pass must see what the dialog stored: the gate's last opening, which found every
    // teacher complete, replaces the run's own, the new one taken before the old one is let go so
    // that PROFT stays held.
    const fs::path proftPath = tables.teachers.path();
    for (;;) {
        auto gate = dbf::Table::open(proftPath, dbf::OpenMode::Shared);
        if (incompleteTeachers(gate, true).empty()) {
            tables.teachers = std::move(gate);
            break;
        }
        gate.close();
        if (summary_.teacherDialogShown)
            return Stop{RunOutcome::TeacherDataMissing, kTeacherDataMissingMessage};
        // The keys would be stored in PROFT, which this run cannot write.
        if (summary_.folderNotLocked)
            return Stop{
                RunOutcome::Stopped,
                "Falta X_EMPLEADO o F_TOMAPOS de algún profesor en PROFT y no se pueden guardar: no se "
                "puede escribir en la carpeta de trabajo «" +
                    platform::utf8Of(folder) + "» (" + *summary_.folderNotLocked +
                    "). Vuelva a importar con permiso de escritura en la carpeta. No se ha escrito "
                    "nada."};
        ui_.setBusy(false);
        ui_.completeTeacherKeys(proftPath);
        summary_.teacherDialogShown = true;
        ui_.setBusy(true);
    }

    summary_.task513 = tables.subjects.locate({{"COD", dbf::Value{std::string("513")}}}).has_value();
    const ActivityAssembler assembler(
        LookupTables{tables.assignments, tables.subjects, tables.subjectsByOffer, tables.slots, tables.units},
        courseStart, courseEnd, summary_.task513);

    const dbf::Table& proft = tables.teachers;
    const dbf::Table& soluc = tables.soluc;
    const std::size_t teacherCount = proft.recordCount();
    writer.StartTimetables(teacherCount);
    const SolucFields solucFields(soluc);
    std::unordered_set<std::string> abbreviations;
    for (std::size_t t = 0; t < teacherCount; ++t) {
        const std::string abbreviation = proft.text(t, "ABREV");
        abbreviations.insert(abbreviation);
        std::vector<std::size_t> placed;
        for (std::size_t record : soluc.select("PROF", dbf::Value{abbreviation}))
            if (solucWholeNumber(soluc, record, solucFields.day, "DIA") != 0)
                placed.push_back(record);
        const std::string employeeKey = documentText(proft, t, "X_EMPLEADO");
        const std::string postDate = documentText(proft, t, "F_TOMAPOS");
        check.teacherSent(employeeKey, postDate);
        writer.AddTeacher(employeeKey, postDate, placed.size());
        for (std::size_t record : placed) {
            AssemblyGaps gaps;
            const ActivityValues values =
                assembler.assemble(readSolucEntry(soluc, solucFields, record), &gaps);
            check.activitySent(values);
            writer.AddActivity(values);
            summary_.slotsNotFound += gaps.slotMissing;
            summary_.unitsNotFound += gaps.unitMissing;
            summary_.subjectsNotFound += gaps.subjectMissing;
        }
        summary_.entriesWritten += placed.size();
    }
    summary_.teachers = teacherCount;
    const auto teacherField = soluc.fieldIndex("PROF");
    for (std::size_t r = 0; r < soluc.recordCount(); ++r)
        if (!abbreviations.count(teacherField ? soluc.text(r, *teacherField) : soluc.text(r, "PROF")))
            ++summary_.entriesWithoutTeacher;
    summary_.missingKeys = check.missing();
    summary_.derivedCodes = check.derived();
    return std::nullopt;
}

} // namespace pontrel::importing
