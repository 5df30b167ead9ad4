#pragma once
// What a folder holds, file by file: every entry (subfolders and hidden files included) with the hash
// and size of its bytes. Two snapshots compare equal only when the same names hold the same bytes.

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>

namespace pontrel::faults {

struct FileFingerprint {
    std::uint64_t hash = 0;
    std::uintmax_t size = 0;
    bool folder = false;
    bool operator==(const FileFingerprint&) const = default;
};

using FolderSnapshot = std::map<std::string, FileFingerprint>; // relative path -> fingerprint

FolderSnapshot snapshot(const std::filesystem::path& folder);

// A readable account of how `actual` differs from `expected` ("" when equal).
std::string describeDifference(const FolderSnapshot& expected, const FolderSnapshot& actual);

// Copies every file of `from` into the emptied folder `to`.
void restoreFolder(const std::filesystem::path& from, const std::filesystem::path& to);

} // namespace pontrel::faults
