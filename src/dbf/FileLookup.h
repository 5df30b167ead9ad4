#pragma once
// Finding a file by name in a folder as Windows finds it: without regard to letter case. Programs run
// under Wine may write soluc.dbf or Proft.Mdx on a file system that tells case apart, and Wine itself
// opens them whatever the case of the name asked for: it reads the folder and compares each name with
// its Unicode case table, accented letters included. The names are compared by the rule of
// dbf/TextFold.h (sameFileName).

#include <filesystem>
#include <optional>
#include <string_view>
#include <vector>

namespace pontrel::dbf {

// Every regular file in `folder` named `name` (UTF-8) without regard to letter case: the file of exactly
// that name first, then the others in name order (a folder's own order is arbitrary; this keeps the
// choice stable). Empty when there is none or the folder cannot be read.
std::vector<std::filesystem::path> filesNamed(const std::filesystem::path& folder, std::string_view name);

// The first of filesNamed: the file a Windows program opening `name` in `folder` would open.
std::optional<std::filesystem::path> findFile(const std::filesystem::path& folder, std::string_view name);

} // namespace pontrel::dbf
