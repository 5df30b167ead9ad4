#include "export/PreviewStaging.h"

#include "dbf/Error.h"
#include "platform/SystemError.h"
#include "platform/Utf8Path.h"

#include <random>
#include <set>
#include <string>

namespace pontrel::exporting {

namespace fs = std::filesystem;

namespace {

constexpr const char* kPrefix = "pontrel-vista-";
constexpr const char* kLockSuffix = ".bloqueo";

fs::path lockFileOf(const fs::path& folder) {
    return folder.parent_path() / platform::pathFromUtf8(platform::utf8Of(folder.filename()) + kLockSuffix);
}

} // namespace

void removeStalePreviewFolders(const fs::path& base) {
    // The names first: the folder changes while they are removed.
    std::set<std::string> folders;
    std::error_code ec;
    const std::string suffix = kLockSuffix;
    for (fs::directory_iterator it(base, ec); !ec && it != fs::directory_iterator(); it.increment(ec)) {
        std::string name = platform::utf8Of(it->path().filename());
        if (name.rfind(kPrefix, 0) != 0)
            continue;
        if (name.size() > suffix.size() &&
            name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0)
            name.erase(name.size() - suffix.size());
        folders.insert(name);
    }
    for (const auto& name : folders) {
        // A lock that can be taken has no holder: that preview was killed. Any failure (another
        // user's file, a lock held) leaves the folder alone.
        platform::FileLock probe;
        if (probe.tryAcquire(lockFileOf(base / name)) != 0)
            continue;
        fs::remove_all(base / name, ec);
        probe.release();
    }
}

PreviewStaging::PreviewStaging() {
    std::error_code ec;
    const fs::path base = fs::temp_directory_path(ec);
    if (ec)
        throw Error("No se encuentra la carpeta temporal del sistema para preparar la vista previa (" +
                    platform::errorReason(ec) + ").");
    removeStalePreviewFolders(base);
    // A name nobody else holds: its lock is taken before the folder is made, so that no other preview
    // takes the new folder for a killed one's; create_directory tells a folder it made from one that
    // was there.
    std::random_device entropy;
    std::mt19937_64 numbers(entropy());
    int error = 0;
    for (int attempt = 0; attempt < 100; ++attempt) {
        const fs::path candidate = base / (kPrefix + std::to_string(numbers()));
        error = lock_.tryAcquire(lockFileOf(candidate));
        if (error != 0) {
            if (platform::errorKind(error) == platform::ErrorKind::InUse)
                continue;
            break;
        }
        if (fs::create_directory(candidate, ec)) {
            folder_ = candidate;
            return;
        }
        lock_.release();
        if (ec)
            break;
    }
    const std::string reason = error ? platform::errorReason(error) : ec ? platform::errorReason(ec) : "";
    throw Error("No se puede crear una carpeta para la vista previa en «" + platform::utf8Of(base) + "»" +
                (reason.empty() ? std::string() : " (" + reason + ")") + ".");
}

PreviewStaging::~PreviewStaging() {
    std::error_code ignored;
    fs::remove_all(folder_, ignored);
    lock_.release();
}

} // namespace pontrel::exporting
