#pragma once
// A fresh folder for one test, on either system, and small file helpers.

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>

namespace pontrel::platformtest {

namespace fs = std::filesystem;

class Folder {
  public:
    Folder() {
        std::random_device random;
        for (;;) {
            path_ = fs::temp_directory_path() / ("pontrel-platform-" + std::to_string(random()));
            if (fs::create_directory(path_))
                break;
        }
    }
    Folder(const Folder&) = delete;
    Folder& operator=(const Folder&) = delete;
    ~Folder() {
        std::error_code ignored;
        for (const auto& entry : fs::recursive_directory_iterator(path_, ignored))
            fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add, ignored);
        fs::remove_all(path_, ignored);
    }
    const fs::path& path() const { return path_; }
    fs::path operator/(const std::string& name) const { return path_ / name; }

  private:
    fs::path path_;
};

inline void writeFile(const fs::path& file, const std::string& bytes) {
    std::ofstream(file, std::ios::binary) << bytes;
}

inline std::string readFile(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

inline std::size_t entriesIn(const fs::path& folder) {
    std::size_t n = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(folder))
        ++n;
    return n;
}

#ifdef _WIN32
inline constexpr bool kWindows = true;
#else
inline constexpr bool kWindows = false;
#endif

} // namespace pontrel::platformtest
