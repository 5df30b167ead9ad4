#pragma once
// Builds the Yedra timetable document inside the loaded master-data document: the old root goes,
// everything outside it (XML declaration, comments, processing instructions) stays, and a new
// SERVICIO root carries the teachers' regular timetables. Saved next to the input as
// "ResultadoDastel" + the input's file name, in the encoding that the declaration names.
//
// Texts handed in are ANSI (Windows-1252), as the working tables hold them.

#include "exchange/YedraDocument.h"
#include "import/ActivityValues.h"

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

typedef struct _xmlNode xmlNode;

namespace pontrel::importing {

// The current moment as the user's regional settings write it: short date, one blank, long time
// (no time-zone part). UTF-8.
std::string regionalTimestamp();

// The output path for a document path: same folder, "ResultadoDastel" in front of the file name.
std::filesystem::path timetableDocumentPath(const std::filesystem::path& documentPath);

class TimetableDocumentWriter {
  public:
    // `clock` gives the `fecha` attribute (UTF-8); tests pass a fixed one.
    explicit TimetableDocumentWriter(std::function<std::string()> clock = regionalTimestamp);

    // Takes the loaded document, removes its root and builds the new one with the academic year.
    void StartDocument(YedraDocument document, std::string_view academicYear);
    // Opens the timetables block with the number of teachers that will follow.
    void StartTimetables(std::size_t teacherCount);
    // Opens the next teacher group; its texts are written unchanged, without trimming.
    void AddTeacher(std::string_view employeeKey, std::string_view postDate, std::size_t activityCount);
    // Appends the next activity group to the current teacher group.
    void AddActivity(const ActivityValues& values);
    // Writes the whole document to timetableDocumentPath(documentPath), replacing an earlier output
    // only once the new one is completely on disk. Returns the path written.
    std::filesystem::path SaveDocument(const std::filesystem::path& documentPath);

  private:
    xmlNode* newGroup(xmlNode* parent, std::string_view seq);
    void addDato(xmlNode* parent, std::string_view name, std::string_view ansiValue);
    void require(bool started, const char* operation) const;

    std::function<std::string()> clock_;
    std::optional<YedraDocument> document_;
    xmlNode* dataBlock_ = nullptr;
    xmlNode* timetables_ = nullptr;
    xmlNode* currentTeacher_ = nullptr;
    std::size_t teacherNumber_ = 1;
    std::size_t activityNumber_ = 1;
};

} // namespace pontrel::importing
