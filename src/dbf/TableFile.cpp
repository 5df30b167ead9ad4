#include "dbf/TableFile.h"

#include "dbf/Messages.h"
#include "platform/Memory.h"
#include "platform/SystemError.h"
#include "platform/Utf8Path.h"

#include <chrono>
#include <thread>

namespace pontrel::dbf {

namespace {

using platform::ErrorKind;

// Far past the end of any table: locking it never blocks reading or writing data.
constexpr std::uint64_t kWriterLockByte = 0x7FFFFFF1;
// A writer waits this long for another opening to finish writing its record.
constexpr auto kWriterWait = std::chrono::seconds(10);

Error fileError(const std::string& name, std::string_view what, int error) {
    return Error("No se puede " + std::string(what) + " la tabla «" + name +
                 "»: " + platform::errorReason(error) + ".");
}

Error heldExclusively(const std::string& name) {
    return Error("La tabla «" + name +
                 "» está abierta en exclusiva por otro programa (o por otra ventana de Pontrel). "
                 "Ciérrelo y vuelva a intentarlo.");
}

Error heldByOther(const std::string& name) {
    return Error("La tabla «" + name +
                 "» está abierta por otro programa (o por otra ventana de Pontrel) y no se puede abrir en "
                 "exclusiva. Ciérrelo y vuelva a intentarlo.");
}

} // namespace

TableFile::TableFile(TableFile&& other) noexcept {
    *this = std::move(other);
}

TableFile& TableFile::operator=(TableFile&& other) noexcept {
    if (this != &other) {
        close();
        name_ = std::move(other.name_);
        file_ = std::move(other.file_);
    }
    return *this;
}

TableFile::~TableFile() {
    close();
}

TableFile TableFile::open(const std::filesystem::path& path, OpenMode mode, Access access) {
    TableFile file;
    file.name_ = platform::utf8Of(path);
    const int error = file.file_.open(
        path, access == Access::ReadWrite ? platform::File::Access::ReadWrite : platform::File::Access::Read,
        mode == OpenMode::Shared ? platform::File::Sharing::Shared : platform::File::Sharing::Exclusive);
    if (error == 0)
        return file;
    if (platform::errorKind(error) == ErrorKind::InUse)
        throw mode == OpenMode::Shared ? heldExclusively(file.name_) : heldByOther(file.name_);
    throw fileError(file.name_, access == Access::ReadWrite ? "abrir para escribir" : "abrir", error);
}

void TableFile::createNew(const std::filesystem::path& path, const std::vector<std::uint8_t>& content) {
    const std::string name = platform::utf8Of(path);
    platform::File file;
    if (const int error = file.createNew(path))
        throw fileError(name, "crear", error);
    if (const int error = file.writeAt(0, content.data(), content.size())) {
        file.close();
        std::error_code ignored;
        std::filesystem::remove(path, ignored);
        throw fileError(name, "escribir en", error);
    }
}

void TableFile::replaceWhole(const std::filesystem::path& path, const std::vector<std::uint8_t>& content) {
    const auto result = platform::replaceFile(
        path, std::string_view(reinterpret_cast<const char*>(content.data()), content.size()));
    if (result)
        throw fileError(platform::utf8Of(path), "escribir el índice de", result.error);
}

std::vector<std::uint8_t> TableFile::readAll() const {
    std::uint64_t size = 0;
    if (const int error = file_.size(size))
        throw fileError(name_, "leer", error);
    // The pages asked for at once: a table of megabytes would otherwise take a page fault per 4 KB.
    std::vector<std::uint8_t> data;
    data.reserve(static_cast<std::size_t>(size));
    platform::prepareToFill(data.data(), data.capacity());
    data.resize(static_cast<std::size_t>(size));
    std::size_t got = 0;
    if (const int error = file_.readAt(0, data.data(), data.size(), got))
        throw fileError(name_, "leer", error);
    data.resize(got); // shrunk while reading: the header checks judge what is left
    return data;
}

bool TableFile::readAt(std::uint64_t offset, std::uint8_t* data, std::size_t size) const {
    std::size_t got = 0;
    if (const int error = file_.readAt(offset, data, size, got))
        throw fileError(name_, "leer", error);
    return got == size;
}

void TableFile::writeAt(std::uint64_t offset, const std::uint8_t* data, std::size_t size) {
    if (const int error = file_.writeAt(offset, data, size))
        throw fileError(name_, "escribir en", error);
}

void TableFile::truncate(std::uint64_t size) {
    if (const int error = file_.truncate(size))
        throw fileError(name_, "escribir en", error);
}

void TableFile::close() {
    file_.close(); // drops this opening's locks with it
}

void TableFile::lockWriter() {
    const auto deadline = std::chrono::steady_clock::now() + kWriterWait;
    for (;;) {
        const int error = file_.tryLockByte(kWriterLockByte);
        if (error == 0)
            return;
        if (platform::errorKind(error) != ErrorKind::InUse)
            throw fileError(name_, "bloquear", error);
        if (std::chrono::steady_clock::now() > deadline)
            throw Error("La tabla «" + name_ + "» la está escribiendo otro programa desde hace más de " +
                        std::to_string(kWriterWait.count()) + " segundos; no se ha guardado el registro.");
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

void TableFile::unlockWriter() {
    file_.unlockByte(kWriterLockByte);
}

TableFile::WriterLock::WriterLock(TableFile& file) : file_(file) {
    file_.lockWriter();
}
TableFile::WriterLock::~WriterLock() {
    file_.unlockWriter();
}

} // namespace pontrel::dbf
