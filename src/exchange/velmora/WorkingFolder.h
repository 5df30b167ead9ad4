#pragma once
// Velmora's working folder and the tables in it.

#include "dbf/Table.h"

#include <filesystem>
#include <optional>
#include <string_view>
#include <vector>

namespace pontrel {

// C:\VTEMP on Windows; elsewhere $PONTREL_VTEMP when set, otherwise $WINEPREFIX/drive_c/VTEMP
// (WINEPREFIX defaulting to ~/.wine). Only names the folder; Pontrel never creates it.
std::filesystem::path defaultWorkingFolder();

// Fails with a clear message naming the folder when it does not exist.
void requireWorkingFolder(const std::filesystem::path& folder);

// The file `name` (e.g. "PROFT.DBF") in `folder`, its name matched without regard to letter case as
// Windows and Wine match it (dbf/FileLookup.h), since programs under Wine may write soluc.dbf or
// Proft.DBF. nullopt when there is none.
std::optional<std::filesystem::path> findTableFile(const std::filesystem::path& folder,
                                                   std::string_view name);

// Re-creation of a table: deletes NAME.DBF and (unless keepMdx) NAME.MDX in any letter case, then
// creates NAME.DBF (upper case) with the given fields and index.
void recreateTable(const std::filesystem::path& folder, std::string_view name,
                   const std::vector<dbf::FieldSpec>& fields,
                   const std::optional<dbf::IndexSpec>& index = std::nullopt, bool deleteMdx = true);

} // namespace pontrel
