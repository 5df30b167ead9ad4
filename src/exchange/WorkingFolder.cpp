#include "exchange/WorkingFolder.h"

#include "exchange/Ansi.h"
#include "platform/Files.h"
#include "platform/Folders.h"
#include "platform/Utf8Path.h"

#include <algorithm>
#include <string>
#include <system_error>

namespace pontrel {

namespace {

namespace fs = std::filesystem;

// File names are compared as Windows compares them; table names are plain ASCII, so folding a to z
// is enough (a name with other bytes must match them exactly).
bool sameFileName(const std::string& a, std::string_view b) {
    return ansi::upperAsciiOnly(a) == ansi::upperAsciiOnly(b);
}

// Every file in `folder` whose name equals `name` without regard to letter case, exact match first.
std::vector<fs::path> filesNamed(const fs::path& folder, std::string_view name) {
    std::vector<fs::path> found;
    std::error_code ec;
    const fs::path exact = folder / std::string(name);
    if (fs::is_regular_file(exact, ec))
        found.push_back(exact);
    fs::directory_iterator it(folder, ec);
    if (ec)
        return found;
    std::vector<fs::path> others;
    for (; it != fs::directory_iterator(); it.increment(ec)) {
        if (ec)
            break;
        const std::string fileName = platform::utf8Of(it->path().filename());
        if (fileName != name && sameFileName(fileName, name) && it->is_regular_file(ec))
            others.push_back(it->path());
    }
    std::sort(others.begin(), others.end()); // directory order is arbitrary; keep the choice stable
    found.insert(found.end(), others.begin(), others.end());
    return found;
}

std::string upperName(std::string_view name) {
    std::string upper = ansi::upperAsciiOnly(name);
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
    const std::vector<fs::path> found = filesNamed(folder, name);
    if (found.empty())
        return std::nullopt;
    return found.front();
}

void recreateTable(const fs::path& folder, std::string_view name, const std::vector<dbf::FieldSpec>& fields,
                   const std::optional<dbf::IndexSpec>& index, bool deleteMdx) {
    requireWorkingFolder(folder);
    const std::string table = upperName(name);

    std::vector<fs::path> stale = filesNamed(folder, table + ".DBF");
    if (deleteMdx) {
        const std::vector<fs::path> mdx = filesNamed(folder, table + ".MDX");
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
    dbf::Table::create(folder / (table + ".DBF"), fields, index);
}

} // namespace pontrel
