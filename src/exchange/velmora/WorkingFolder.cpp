#include "exchange/velmora/WorkingFolder.h"

#include "dbf/FileLookup.h"
#include "dbf/TextFold.h"
#include "platform/Files.h"
#include "platform/Folders.h"
#include "platform/Utf8Path.h"

#include <string>
#include <system_error>

namespace pontrel {

namespace {

namespace fs = std::filesystem;

// The table's name as its files are created: upper case, as Velmora names them on Windows.
std::string upperName(std::string_view name) {
    std::string upper = dbf::text::fileNameKey(name);
    if (upper.size() > 4 && upper.compare(upper.size() - 4, 4, ".DBF") == 0)
        upper.resize(upper.size() - 4);
    return upper;
}

} // namespace

fs::path defaultWorkingFolder() {
    return platform::defaultWorkingFolder();
}

void requireWorkingFolder(const fs::path& folder) {
    std::error_code ec;
    if (fs::is_directory(folder, ec))
        return;
    if (fs::exists(folder, ec))
        throw Error("La carpeta de trabajo de Velmora «" + platform::utf8Of(folder) + "» no es una carpeta.");
    throw Error("No existe la carpeta de trabajo de Velmora «" + platform::utf8Of(folder) +
                "». Pontrel no la crea: ábrala antes con Velmora o indique otra carpeta.");
}

std::optional<fs::path> findTableFile(const fs::path& folder, std::string_view name) {
    return dbf::findFile(folder, name);
}

void recreateTable(const fs::path& folder, std::string_view name, const std::vector<dbf::FieldSpec>& fields,
                   const std::optional<dbf::IndexSpec>& index, bool deleteMdx) {
    requireWorkingFolder(folder);
    const std::string table = upperName(name);

    std::vector<fs::path> stale = dbf::filesNamed(folder, table + ".DBF");
    if (deleteMdx) {
        const std::vector<fs::path> mdx = dbf::filesNamed(folder, table + ".MDX");
        stale.insert(stale.end(), mdx.begin(), mdx.end());
    }
    // Linux would let a held table be deleted under its holder's feet; Windows would refuse.
    for (const fs::path& file : stale)
        if (platform::heldByAnother(file))
            throw Error("No se puede volver a crear la tabla " + table + ": otro programa tiene abierto «" +
                        platform::utf8Of(file) + "». Ciérrelo y repita el proceso.");
    // A deletion that fails is not reported by itself: the creation below then finds the old file in its
    // way and says so.
    for (const fs::path& file : stale) {
        std::error_code ec;
        fs::remove(file, ec);
    }
    dbf::Table::create(folder / platform::pathFromUtf8(table + ".DBF"), fields, index);
}

} // namespace pontrel
