#include "FolderSnapshot.h"

#include <fstream>
#include <vector>

namespace pontrel::faults {

namespace fs = std::filesystem;

namespace {

// FNV-1a, 64 bits: enough to tell table contents apart.
std::uint64_t hashFile(const fs::path& file, std::uintmax_t& size) {
    std::ifstream in(file, std::ios::binary);
    std::uint64_t h = 1469598103934665603ull;
    std::vector<char> buf(1 << 16);
    size = 0;
    while (in) {
        in.read(buf.data(), static_cast<std::streamsize>(buf.size()));
        const auto n = static_cast<std::size_t>(in.gcount());
        size += n;
        for (std::size_t i = 0; i < n; ++i) {
            h ^= static_cast<unsigned char>(buf[i]);
            h *= 1099511628211ull;
        }
    }
    return h;
}

} // namespace

FolderSnapshot snapshot(const fs::path& folder) {
    FolderSnapshot result;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        const std::string name = fs::relative(entry.path(), folder).generic_string();
        FileFingerprint fp;
        if (entry.is_directory())
            fp.folder = true;
        else
            fp.hash = hashFile(entry.path(), fp.size);
        result[name] = fp;
    }
    return result;
}

std::string describeDifference(const FolderSnapshot& expected, const FolderSnapshot& actual) {
    std::string out;
    for (const auto& [name, fp] : expected) {
        const auto it = actual.find(name);
        if (it == actual.end())
            out += "  falta " + name + "\n";
        else if (!(it->second == fp))
            out += "  distinto " + name + " (" + std::to_string(it->second.size) + " bytes, se esperaban " +
                   std::to_string(fp.size) + ")\n";
    }
    for (const auto& [name, fp] : actual)
        if (!expected.count(name))
            out += "  sobra " + name + "\n";
    return out;
}

void restoreFolder(const fs::path& from, const fs::path& to) {
    fs::remove_all(to);
    fs::create_directories(to);
    fs::copy(from, to, fs::copy_options::recursive);
}

} // namespace pontrel::faults
