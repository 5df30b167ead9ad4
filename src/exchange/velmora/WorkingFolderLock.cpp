#include "exchange/velmora/WorkingFolderLock.h"

#include "dbf/Error.h"
#include "platform/SystemError.h"
#include "platform/Utf8Path.h"

#include <thread>

namespace pontrel {

namespace fs = std::filesystem;

namespace {

// One attempt: 0 when the lock was taken; otherwise the system's error (ErrorKind::InUse while
// another process holds it).
int attempt(platform::FileLock& lock, const fs::path& folder) {
    return lock.tryAcquire(folder / kLockFileName);
}

[[noreturn]] void cannotWrite(const fs::path& folder, int error) {
    throw Error("No se puede escribir en la carpeta de trabajo " + platform::utf8Of(folder) + " (" +
                platform::errorReason(error) + "). Compruebe que existe y que tiene permiso de escritura.");
}

bool inUse(int error) {
    return platform::errorKind(error) == platform::ErrorKind::InUse;
}

// Waits while another process holds the lock: 0 once it is taken, or the error that is not a holder.
int acquire(platform::FileLock& lock, const fs::path& folder, std::chrono::milliseconds wait) {
    const auto deadline = std::chrono::steady_clock::now() + wait;
    for (;;) {
        const int error = attempt(lock, folder);
        if (!inUse(error))
            return error;
        if (std::chrono::steady_clock::now() >= deadline)
            throw Error("Otra ejecución de Pontrel está usando las tablas de la carpeta de trabajo " +
                        platform::utf8Of(folder) +
                        ". Espere a que termine y vuelva a intentarlo; no se ha cambiado ninguna tabla.");
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

} // namespace

WorkingFolderLock::WorkingFolderLock(const fs::path& folder, std::chrono::milliseconds wait) {
    if (const int error = acquire(lock_, folder, wait))
        cannotWrite(folder, error);
}

std::optional<WorkingFolderLock> WorkingFolderLock::tryAcquire(const fs::path& folder) {
    platform::FileLock lock;
    const int error = attempt(lock, folder);
    if (inUse(error))
        return std::nullopt;
    if (error)
        cannotWrite(folder, error);
    return WorkingFolderLock(std::move(lock));
}

std::optional<WorkingFolderLock>
WorkingFolderLock::forReading(const fs::path& folder, std::chrono::milliseconds wait, std::string& whyNone) {
    platform::FileLock lock;
    const int error = acquire(lock, folder, wait);
    if (error == 0)
        return WorkingFolderLock(std::move(lock));
    const auto kind = platform::errorKind(error);
    if (kind != platform::ErrorKind::ReadOnly && kind != platform::ErrorKind::AccessDenied)
        cannotWrite(folder, error);
    whyNone = platform::errorReason(error);
    return std::nullopt;
}

} // namespace pontrel
