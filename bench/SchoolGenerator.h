#pragma once
// Synthetic schools of our own for the benchmark and the fault tests: a Yedra master-data document
// (ISO-8859-1, Spanish accents), the level table its courses need, and a SOLUC timetable written as
// the timetable tool would (dBase III, numeric DIA and HORA) that refers to the codes the export run
// gives. Everything follows from the scale and the seed, so two runs with the same ones write the
// same bytes.
//
// The codes are chosen so that the export keeps them as they are (unique, at most 10 characters):
// teachers P00001, rooms A00001, subjects M00001, units named "1º C0001 A" (code 1ºC0001A), frames
// J0001. That lets SOLUC be written without reading the export's tables.

#include <cstdint>
#include <filesystem>
#include <string>

namespace pontrel::bench {

// How many of each thing a school of a given scale holds; scale 1 is a school of about 60 teachers.
struct SchoolShape {
    int teachers = 0;
    int rooms = 0;
    int courses = 0;
    int unitsPerCourse = 2;
    int subjectsPerCourse = 12; // every subject is taught in two courses (two enrolment offers)
    int activities = 0;         // one of them has the code 513
    int frames = 0;
    int slotsPerFrame = 7;
    int lessonsPerTeacher = 22; // placed lessons in SOLUC, plus two unplaced ones (DIA 0)
};

SchoolShape shapeForScale(int scale);

struct GeneratedSchool {
    std::filesystem::path document;   // folder/colegio.xml
    std::filesystem::path levelTable; // folder/NIVELCAN.DBF
    std::filesystem::path soluc;      // folder/SOLUC.DBF, to be copied into the working folder
    std::string firstFrameCode;       // the frame to choose (the document lists several)
    int frameCount = 0;
    std::uintmax_t documentBytes = 0;
    std::size_t solucRecords = 0;
};

// The names and codes of the school that generateSchool writes into `folder`, without writing it
// (documentBytes and solucRecords stay 0).
GeneratedSchool describeSchool(const SchoolShape& shape, const std::filesystem::path& folder);

// Writes the three files into `folder` (which must exist).
GeneratedSchool generateSchool(const SchoolShape& shape, std::uint32_t seed,
                               const std::filesystem::path& folder);

// Only the document, streamed to `file` (used for very large documents too).
std::uintmax_t writeYedraDocument(const SchoolShape& shape, std::uint32_t seed,
                                  const std::filesystem::path& file);

} // namespace pontrel::bench
