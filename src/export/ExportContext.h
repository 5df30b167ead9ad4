#pragma once
// What the data-group steps of one export run share. Created fresh for every run, so a run after a
// failed one behaves like the first.

#include "exchange/codes/ShortCodeRegistry.h"
#include "exchange/codes/ShortCodeReport.h"
#include "exchange/runs/UserInterface.h"
#include "exchange/yedra/YedraDocument.h"

#include <cstddef>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <utility>

namespace pontrel::exporting {

// A (long code, name) pair's place among hashed pairs.
struct CodeAndNameHash {
    std::size_t operator()(const std::pair<std::string, std::string>& pair) const noexcept {
        const std::size_t code = std::hash<std::string>{}(pair.first);
        return code ^
               (std::hash<std::string>{}(pair.second) + 0x9e3779b97f4a7c15u + (code << 6) + (code >> 2));
    }
};

// The four subject registries: each value once, letter case significant; only asked whether they hold
// a value, never listed. They live from the start of the subjects step until the end of the
// activities step.
struct SubjectRegistries {
    ShortCodeRegistry shortCodes{ShortCodeSettings{.preCut = true, .shortening = true, .ignoreCase = false}};
    std::unordered_set<std::string> longCodes;
    std::unordered_set<std::string> upperNames;
    // (long code, name) -> the short code given to that subject: a repeat needs both to match, and
    // it is filed under its own subject's code even when two subjects look alike once cut to the
    // widths of CODLARGO and NOMBRE.
    std::unordered_map<std::pair<std::string, std::string>, std::string, CodeAndNameHash> pairs;
};

struct ExportContext {
    const YedraDocument& document;
    std::filesystem::path tablesFolder; // where the steps create and read their tables (staging)
    std::filesystem::path levelTable;   // NIVELCAN.DBF
    std::filesystem::path documentPath; // for the frame selection dialog, which loads its own copy
    UserInterface& ui;
    bool task513 = false;                  // set by the activities step, read by the assignments step
    SubjectRegistries subjects;            // filled by the subjects step, emptied by the activities step
    ShortCodeReport* codeReport = nullptr; // when set, receives every code stored unlike Yedra's value
    // Each table's records as its step closed it (by table name), for the summary of the run: the
    // steps know what they wrote, and the tables need not be read again to count it.
    std::map<std::string, std::size_t> recordsWritten;
};

} // namespace pontrel::exporting
