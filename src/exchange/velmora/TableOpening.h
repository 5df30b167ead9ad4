#pragma once
// Opening a table that a run needs, found in its folder in any letter case (programs under Wine may
// write soluc.dbf or Proft.DBF). A table that is not there stops the run with a message that names
// the table and the folder, and says what the run had expected of it.

#include "dbf/Table.h"

#include <filesystem>
#include <string>
#include <string_view>

namespace pontrel {

// How a run speaks of a table it cannot find.
struct MissingTableWording {
    std::string_view folder; // "la carpeta de trabajo"
    std::string_view after;  // what follows the folder's path: ". No se ha escrito nada."
};

// The file `fileName` ("ASIGNOMT.DBF") in `folder`; missing, an Error: "No se encuentra la tabla
// ASIGNOMT.DBF en <folder> «path»<after>".
std::filesystem::path requireTableFile(const std::filesystem::path& folder, std::string_view fileName,
                                       const MissingTableWording& wording);

// The same table opened in `mode` for `access`.
dbf::Table openRequiredTable(const std::filesystem::path& folder, std::string_view fileName,
                             dbf::OpenMode mode, dbf::Access access, const MissingTableWording& wording);

} // namespace pontrel
