#pragma once
// Builds the Yedra timetable document inside the loaded master-data document: the old root goes,
// everything outside it (XML declaration, comments, processing instructions) stays, and a new
// SERVICIO root carries the teachers' regular timetables. Saved next to the input as
// "ResultadoDastel" + the input's file name, in the encoding that the declaration names.
//
// The document is not built in memory: from StartDocument on it is written, as it grows, to a
// temporary file beside the output (see exchange/yedra/XmlOutput.h), in the form libxml2 gives a saved tree
// (two blanks of indent per level, empty values as empty elements). SaveDocument completes it and puts
// it in the output's place; a writer destroyed before that removes its temporary file and leaves no
// output.
//
// Texts handed in are ANSI (Windows-1252), as the working tables hold them.

#include "exchange/yedra/YedraDocument.h"
#include "import/ActivityValues.h"
#include "platform/Regional.h"

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace pontrel {
class XmlOutput;
}

namespace pontrel::importing {

// The output path for a document path: same folder, "ResultadoDastel" in front of the file name.
std::filesystem::path timetableDocumentPath(const std::filesystem::path& documentPath);

class TimetableDocumentWriter {
  public:
    // `clock` gives the `fecha` attribute (UTF-8): the current moment as the user's regional settings
    // write it; tests pass a fixed one.
    explicit TimetableDocumentWriter(std::function<std::string()> clock = platform::regionalNow);
    // Removes the temporary file of a document that was not saved.
    ~TimetableDocumentWriter();
    TimetableDocumentWriter(TimetableDocumentWriter&&) noexcept;
    TimetableDocumentWriter& operator=(TimetableDocumentWriter&&) noexcept;

    // Takes the loaded document: writes what it holds outside its root and starts the new root with
    // the academic year, then lets the document go. The temporary file lies in the folder of
    // timetableDocumentPath(document.path()).
    void StartDocument(YedraDocument document, std::string_view academicYear);
    // Opens the timetables block with the number of teachers that will follow.
    void StartTimetables(std::size_t teacherCount);
    // Opens the next teacher group; its texts are written unchanged, without trimming.
    void AddTeacher(std::string_view employeeKey, std::string_view postDate, std::size_t activityCount);
    // Appends the next activity group to the current teacher group.
    void AddActivity(const ActivityValues& values);
    // Completes the document and puts it at timetableDocumentPath(documentPath), replacing an earlier
    // output only once the new one is completely on disk. Returns the path written. Nothing can be
    // added afterwards.
    std::filesystem::path SaveDocument(const std::filesystem::path& documentPath);

    // Said when the loaded document declares an encoding that the output cannot be written in safely,
    // and the output is UTF-8 instead; empty otherwise. Known from StartDocument on.
    const std::string& encodingNote() const { return encodingNote_; }

  private:
    void require(bool started, const char* operation) const;
    void closeTimetables();

    std::function<std::string()> clock_;
    std::unique_ptr<XmlOutput> output_; // from StartDocument until SaveDocument
    bool timetablesOpen_ = false;       // a timetables block whose end is still to be written
    bool teacherOpen_ = false;          // a teacher group of that block whose end is still to be written
    std::size_t teacherNumber_ = 1;
    std::size_t activityNumber_ = 1;
    std::string encodingNote_;
};

} // namespace pontrel::importing
