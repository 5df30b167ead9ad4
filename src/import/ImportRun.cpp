#include "import/ImportRun.h"

#include "dbf/Error.h"
#include "dbf/Table.h"
#include "exchange/runs/BusyCursor.h"
#include "exchange/runs/DocumentChoice.h"
#include "exchange/text/Ansi.h"
#include "exchange/velmora/TableOpening.h"
#include "exchange/velmora/TableSetReplacement.h"
#include "exchange/velmora/VelmoraTables.h"
#include "exchange/velmora/WorkingFolder.h"
#include "exchange/velmora/WorkingFolderLock.h"
#include "exchange/yedra/YedraDocument.h"
#include "import/AcademicYear.h"
#include "import/ActivityAssembler.h"
#include "import/DocumentText.h"
#include "import/KeySet.h"
#include "import/SolucEntry.h"
#include "import/TeacherKeys.h"
#include "import/TimetableDocumentWriter.h"
#include "platform/Regional.h"
#include "platform/Utf8Path.h"

#include <array>
#include <exception>
#include <future>
#include <system_error>

namespace pontrel::importing {

namespace fs = std::filesystem;

// The tables the run holds from their opening to its end, opened in the run's order. PROFT is shared:
// the teacher data dialog edits it meanwhile; the others are held exclusively.
struct ImportRun::WorkingTables {
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
        namespace v = velmora;
        // Braced initialisation runs in the order written, which is the order the tables are opened.
        return WorkingTables{openTable(folder, v::soluc::layout(), OpenMode::Exclusive),
                             openTable(folder, v::grupost::layout(), OpenMode::Exclusive),
                             openTable(folder, v::cursost::layout(), OpenMode::Exclusive),
                             openTable(folder, v::proft::layout(), OpenMode::Shared),
                             openTable(folder, v::aulat::layout(), OpenMode::Exclusive),
                             openTable(folder, v::asignomt::layout(), OpenMode::Exclusive),
                             openTable(folder, v::asignomt2::layout(), OpenMode::Exclusive),
                             openTable(folder, v::diashorast::layout(), OpenMode::Exclusive),
                             openTable(folder, v::asigt::layout(), OpenMode::Exclusive)};
    }

    std::array<const dbf::Table*, 9> all() const {
        return {&soluc,    &units,           &courses, &teachers,   &rooms,
                &subjects, &subjectsByOffer, &slots,   &assignments};
    }

  private:
    static dbf::Table openTable(const fs::path& folder, const velmora::TableLayout& table,
                                dbf::OpenMode mode) {
        return openRequiredTable(folder, table.fileName(), mode, dbf::Access::ReadOnly,
                                 {"la carpeta de trabajo", ". No se ha escrito nada."});
    }
};

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
    ui_.showMessage(messages::kFinished);
    return RunOutcome::Completed;
}

std::optional<ImportRun::Stop> ImportRun::convert(TimetableDocumentWriter& writer) {
    const fs::path folder = session_.workingFolder;
    requireWorkingFolder(folder);
    const std::optional<WorkingFolderLock> lock = lockWorkingFolder(folder);
    // The tables are opened on a thread of their own while this one reads the document: neither needs
    // the other, and each takes a good part of the time before the first timetable. The run stops as
    // when they are read one after the other: on a table's error first, whatever the document holds;
    // only this thread talks to the user.
    std::future<WorkingTables> opening =
        std::async(std::launch::async, [&folder] { return WorkingTables::open(folder); });
    std::optional<YedraDocument> read;
    std::exception_ptr documentError;
    try {
        read.emplace(YedraDocument::loadOutline(session_.documentPath, MasterDataCheck::groups()));
    } catch (...) {
        documentError = std::current_exception();
    }
    WorkingTables tables = opening.get();
    for (const dbf::Table* table : tables.all())
        noteUncountedRecords(*table);
    if (documentError)
        std::rethrow_exception(documentError);
    YedraDocument document = std::move(*read);
    const std::string year = academicYear(document);
    MasterDataCheck check(document);

    const std::optional<CourseDates> course = readCourseDates(folder);
    if (!course)
        return Stop{RunOutcome::Stopped, messages::kNoPeriods};

    writer.StartDocument(std::move(document), year);
    if (!writer.encodingNote().empty())
        ui_.showMessage(writer.encodingNote());

    if (auto stop = passTeacherGate(tables.teachers, folder))
        return stop;
    writeTimetables(tables, *course, check, writer);
    countEntriesWithoutTeacher(tables);
    summary_.missingKeys = check.missing();
    summary_.derivedCodes = check.derived();
    return std::nullopt;
}

// An export writing the folder meanwhile would change the tables under the run; one killed half way
// through its replacement left a mix that must be put right before a table is read. A folder that
// cannot be written (a read-only disk, no permission) can still be read: without the lock, which the
// summary says, and without anything the run would write there.
std::optional<WorkingFolderLock> ImportRun::lockWorkingFolder(const fs::path& folder) {
    std::string whyNoLock;
    std::optional<WorkingFolderLock> lock = WorkingFolderLock::forReading(folder, lockWait_, whyNoLock);
    if (lock) {
        if (auto line = recoverWhileLocked(folder))
            ui_.showMessage(*line);
        return lock;
    }
    summary_.folderNotLocked = whyNoLock;
    if (replacementLeftHalfDone(folder))
        throw Error("La carpeta de trabajo «" + platform::utf8Of(folder) +
                    "» tiene una sustitución de tablas interrumpida que hay que reparar antes de leerla, "
                    "y Pontrel no puede escribir en ella (" +
                    whyNoLock +
                    "). Abra Pontrel con permiso de escritura en la carpeta. No se ha escrito "
                    "nada.");
    return lock;
}

// The course's first and last day, from the first record of PERIODOS (empty when it has none);
// nullopt when the folder has no PERIODOS, which only an export that did not finish leaves.
std::optional<ImportRun::CourseDates> ImportRun::readCourseDates(const fs::path& folder) {
    const auto periods = findTableFile(folder, velmora::periodos::layout().fileName());
    if (!periods)
        return std::nullopt;
    CourseDates dates;
    auto table = dbf::Table::open(*periods, dbf::OpenMode::Shared);
    noteUncountedRecords(table);
    if (table.recordCount() > 0) {
        dates.start = documentText(table, 0, velmora::periodos::kFecIni);
        dates.end = documentText(table, 0, velmora::periodos::kFecFin);
    }
    return dates;
}

// PROFT read afresh through an opening of its own; the dialog at most once. The teacher pass must see
// what the dialog stored: the gate's last opening, which found every teacher complete, replaces the
// run's own, the new one taken before the old one is let go so that PROFT stays held.
std::optional<ImportRun::Stop> ImportRun::passTeacherGate(dbf::Table& teachers, const fs::path& folder) {
    const fs::path proftPath = teachers.path();
    for (;;) {
        auto gate = dbf::Table::open(proftPath, dbf::OpenMode::Shared);
        if (incompleteTeachers(gate, true).empty()) {
            teachers = std::move(gate);
            return std::nullopt;
        }
        gate.close();
        if (summary_.teacherDialogShown)
            return Stop{RunOutcome::TeacherDataMissing, messages::kTeacherDataMissing};
        // The keys would be stored in PROFT, which this run cannot write.
        if (summary_.folderNotLocked)
            return Stop{
                RunOutcome::Stopped,
                "Falta " + anyTeacherKeyText() +
                    " de algún profesor en PROFT y no se pueden guardar: no se puede escribir en la carpeta "
                    "de trabajo «" +
                    platform::utf8Of(folder) + "» (" + *summary_.folderNotLocked +
                    "). Vuelva a importar con permiso de escritura en la carpeta. No se ha escrito "
                    "nada."};
        ui_.setBusy(false);
        ui_.completeTeacherKeys(proftPath);
        summary_.teacherDialogShown = true;
        ui_.setBusy(true);
    }
}

// Every teacher of PROFT in stored order, each with the SOLUC entries placed in the timetable (DIA
// other than 0) that carry the teacher's ABREV, in SOLUC's order.
void ImportRun::writeTimetables(const WorkingTables& tables, const CourseDates& course,
                                MasterDataCheck& check, TimetableDocumentWriter& writer) {
    namespace proft = velmora::proft;
    summary_.task513 =
        tables.subjects.locate({{velmora::asignomt::kCod, dbf::Value{std::string("513")}}}).has_value();
    const ActivityAssembler assembler(
        LookupTables{tables.assignments, tables.subjects, tables.subjectsByOffer, tables.slots, tables.units},
        course.start, course.end, summary_.task513);

    const dbf::Table& teachers = tables.teachers;
    const dbf::Table& soluc = tables.soluc;
    const std::size_t teacherCount = teachers.recordCount();
    writer.StartTimetables(teacherCount);
    const SolucFields solucFields(soluc);
    for (std::size_t t = 0; t < teacherCount; ++t) {
        const std::string abbreviation = teachers.text(t, proft::kAbrev);
        std::vector<std::size_t> placed;
        for (std::size_t record : soluc.select(velmora::soluc::kProf, dbf::Value{abbreviation}))
            if (solucWholeNumber(soluc, record, solucFields.day) != 0)
                placed.push_back(record);
        const std::string employeeKey = documentText(teachers, t, proft::kXEmpleado);
        const std::string postDate = documentText(teachers, t, proft::kFTomapos);
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
}

// SOLUC entries whose PROF no teacher of PROFT has: Velmora placed them, Yedra will not see them.
void ImportRun::countEntriesWithoutTeacher(const WorkingTables& tables) {
    const dbf::Table& teachers = tables.teachers;
    const dbf::Table& soluc = tables.soluc;
    KeySet abbreviations;
    for (std::size_t t = 0; t < teachers.recordCount(); ++t)
        abbreviations.insert(teachers.text(t, velmora::proft::kAbrev));
    const FieldRef teacherField(soluc, velmora::soluc::kProf);
    for (std::size_t r = 0; r < soluc.recordCount(); ++r)
        if (!abbreviations.contains(soluc.text(r, teacherField())))
            ++summary_.entriesWithoutTeacher;
}

} // namespace pontrel::importing
