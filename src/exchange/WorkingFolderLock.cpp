#include "exchange/WorkingFolderLock.h"

#include "dbf/Error.h"
#include "platform/SystemError.h"
#include "platform/Utf8Path.h"

#include <thread>

namespace pontrel {

namespace fs = std::filesystem;

namespace {

// One attempt: true when the lock was taken, false while another process holds it.
bool attempt(platform::FileLock& lock, const fs::path& folder) {
    const int error = lock.tryAcquire(folder / kLockFileName);
    if (error == 0)
        return true;
    if (platform::errorKind(error) == platform::ErrorKind::InUse)
        return false;
    throw Error("No se puede escribir en la carpeta de trabajo " + platform::utf8Of(folder) + " (" +
                platform::errorReason(error) + "). Compruebe que existe y que tiene permiso de escritura.");
}

} // namespace

WorkingFolderLock::WorkingFolderLock(const fs::path& folder, std::chrono::milliseconds wait) {
    const auto deadline = std::chrono::steady_clock::now() + wait;
    while (!attempt(lock_, folder)) {
        if (std::chrono::steady_clock::now() >= deadline)
            throw Error("Otra ejecución de Pontrel está usando las tablas de la carpeta de trabajo " +
                        platform::utf8Of(folder) +
                        ". Espere a que termine y vuelva a intentarlo; no se ha cambiado ninguna tabla.");
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

std::optional<WorkingFolderLock> WorkingFolderLock::tryAcquire(const fs::path& folder) {
    platform::FileLock lock;
    if (!attempt(lock, folder))
        return std::nullopt;
    return WorkingFolderLock(std::move(lock));
}

} // namespace pontrel
