#include "dbf/FileLookup.h"

#include "dbf/TextFold.h"
#include "platform/Utf8Path.h"

#include <algorithm>
#include <string>
#include <system_error>

namespace pontrel::dbf {

namespace fs = std::filesystem;

std::vector<fs::path> filesNamed(const fs::path& folder, std::string_view name) {
    std::vector<fs::path> found;
    std::error_code ec;
    const fs::path exact = folder / platform::pathFromUtf8(name);
    if (fs::is_regular_file(exact, ec))
        found.push_back(exact);
    fs::directory_iterator it(folder, ec);
    if (ec)
        return found;
    const std::string wanted = text::fileNameKey(name);
    std::vector<fs::path> others;
    for (; it != fs::directory_iterator(); it.increment(ec)) {
        if (ec)
            break;
        const std::string fileName = platform::utf8Of(it->path().filename());
        if (fileName != name && text::fileNameKey(fileName) == wanted && it->is_regular_file(ec))
            others.push_back(it->path());
    }
    std::sort(others.begin(), others.end());
    found.insert(found.end(), others.begin(), others.end());
    return found;
}

std::optional<fs::path> findFile(const fs::path& folder, std::string_view name) {
    std::vector<fs::path> found = filesNamed(folder, name);
    if (found.empty())
        return std::nullopt;
    return std::move(found.front());
}

} // namespace pontrel::dbf
