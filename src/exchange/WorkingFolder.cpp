#include "exchange/WorkingFolder.h"

#include "exchange/Ansi.h"

#include <algorithm>
#include <cstdlib>
#include <string>
#include <system_error>

#ifndef _WIN32
#include <fcntl.h>
#include <pwd.h>
#include <unistd.h>
#endif

namespace pontrel {

namespace {

namespace fs = std::filesystem;

#ifndef _WIN32
std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value == nullptr ? std::string() : std::string(value);
}

std::string homeFolder() {
    std::string home = environment("HOME");
    if (home.empty()) {
        if (const passwd* entry = getpwuid(getuid()); entry != nullptr && entry->pw_dir != nullptr)
            home = entry->pw_dir;
    }
    return home;
}
#endif

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
        const std::string fileName = it->path().filename().string();
        if (fileName != name && sameFileName(fileName, name) && it->is_regular_file(ec))
            others.push_back(it->path());
    }
    std::sort(others.begin(), others.end()); // directory order is arbitrary; keep the choice stable
    found.insert(found.end(), others.begin(), others.end());
    return found;
}

#ifndef _WIN32
// Linux lets a file be deleted while another program has it open, and the other program then goes on
// writing a table that no longer exists. Tables are locked with open-file-description locks (which also
// see classic fcntl locks), so a table that someone holds is refused here, as Windows would refuse to
// delete it.
bool heldByAnother(const fs::path& file) {
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct flock probe {};
    probe.l_type = F_WRLCK;
    probe.l_whence = SEEK_SET;
    probe.l_start = 0;
    probe.l_len = 0; // the whole file, whatever range the holder locked
    const bool held = ::fcntl(fd, F_OFD_GETLK, &probe) == 0 && probe.l_type != F_UNLCK;
    ::close(fd);
    return held;
}
#endif

std::string upperName(std::string_view name) {
    std::string upper = ansi::upperAsciiOnly(name);
    if (upper.size() > 4 && upper.compare(upper.size() - 4, 4, ".DBF") == 0)
        upper.resize(upper.size() - 4);
    return upper;
}

} // namespace

fs::path defaultWorkingFolder() {
#ifdef _WIN32
    return fs::path("C:\\VTEMP");
#else
    if (const std::string own = environment("PONTREL_VTEMP"); !own.empty())
        return fs::path(own);
    std::string prefix = environment("WINEPREFIX");
    if (prefix.empty())
        prefix = homeFolder() + "/.wine";
    const fs::path driveC = fs::path(prefix) / "drive_c";
    // Wine maps C:\VTEMP onto a folder of any letter case (a program may have made it as vtemp).
    std::error_code ec;
    if (!fs::is_directory(driveC / "VTEMP", ec)) {
        for (fs::directory_iterator it(driveC, ec); !ec && it != fs::directory_iterator(); it.increment(ec))
            if (sameFileName(it->path().filename().string(), "VTEMP") && it->is_directory(ec))
                return it->path();
    }
    return driveC / "VTEMP";
#endif
}

void requireWorkingFolder(const fs::path& folder) {
    std::error_code ec;
    if (fs::is_directory(folder, ec))
        return;
    if (fs::exists(folder, ec))
        throw Error("La carpeta de trabajo de Velmora «" + folder.string() + "» no es una carpeta.");
    throw Error("No existe la carpeta de trabajo de Velmora «" + folder.string() +
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
#ifndef _WIN32
    for (const fs::path& file : stale)
        if (heldByAnother(file))
            throw Error("No se puede volver a crear la tabla " + table + ": otro programa tiene abierto «" +
                        file.string() + "». Ciérrelo y repita el proceso.");
#endif
    // A deletion that fails is not reported by itself: the creation below then finds the old file in its
    // way and says so.
    for (const fs::path& file : stale) {
        std::error_code ec;
        fs::remove(file, ec);
    }
    dbf::Table::create(folder / (table + ".DBF"), fields, index);
}

} // namespace pontrel
