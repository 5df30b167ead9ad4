#pragma once
// A fresh folder under the system's temporary folder for one test, removed with everything in it at
// the end (read-only entries a test left behind included). On Windows, mkdtemp comes from
// WindowsCompat.h, which the cross build includes before every test source.

#include "support/Bytes.h"

#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>

namespace pontrel::testing {

class ScratchFolder {
  public:
    ScratchFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "pontrel-test-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr)
            throw std::runtime_error("cannot create a temporary folder");
        path_ = pattern;
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    ~ScratchFolder() {
        if (keep_)
            return;
        namespace fs = std::filesystem;
        std::error_code ignored;
        fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ignored);
        std::error_code walking;
        for (fs::recursive_directory_iterator it(path_, walking), end; !walking && it != end;
             it.increment(walking))
            fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ignored);
        fs::remove_all(path_, ignored);
    }

    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::filesystem::path& name) const { return path_ / name; }

    // Writes `bytes` exactly as given to `name` in the folder and returns its path.
    std::filesystem::path write(const std::string& name, std::string_view bytes) const {
        const std::filesystem::path file = path_ / name;
        writeFile(file, bytes);
        return file;
    }

    // Leaves the folder in place at the end, for a look at what a failed test left.
    void keep() { keep_ = true; }

  private:
    std::filesystem::path path_;
    bool keep_ = false;
};

} // namespace pontrel::testing
