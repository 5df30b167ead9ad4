#include "exchange/velmora/TableOpening.h"

#include "dbf/Error.h"
#include "exchange/velmora/WorkingFolder.h"
#include "platform/Utf8Path.h"

namespace pontrel {

std::filesystem::path requireTableFile(const std::filesystem::path& folder, std::string_view fileName,
                                       const MissingTableWording& wording) {
    if (auto found = findTableFile(folder, fileName))
        return *found;
    throw Error("No se encuentra la tabla " + std::string(fileName) + " en " + std::string(wording.folder) +
                " «" + platform::utf8Of(folder) + "»" + std::string(wording.after));
}

dbf::Table openRequiredTable(const std::filesystem::path& folder, std::string_view fileName,
                             dbf::OpenMode mode, dbf::Access access, const MissingTableWording& wording) {
    return dbf::Table::open(requireTableFile(folder, fileName, wording), mode, access);
}

} // namespace pontrel
