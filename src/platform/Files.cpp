#include "platform/Files.h"

#include <algorithm>

namespace pontrel::platform {

File::File(File&& other) noexcept {
    *this = std::move(other);
}

File::~File() {
    close();
}

TemporaryFile::~TemporaryFile() {
    discard();
}

int TemporaryFile::write(const void* data, std::size_t size) {
    if (const int error = file_.writeAt(written_, static_cast<const std::uint8_t*>(data), size))
        return error;
    // A large file goes to the disk while the rest of it is being made, piece by piece, so that the
    // flush before commit() waits for little more than the last piece.
    constexpr std::uint64_t kPiece = 8 * 1024 * 1024;
    const std::uint64_t before = written_;
    if ((before + size) / kPiece != before / kPiece) {
        const std::uint64_t pieceEnd = (before + size) / kPiece * kPiece;
        file_.startWritingToDisk(pieceEnd - kPiece, kPiece);
    }
    written_ = before + size;
    return 0;
}

int TemporaryFile::readAll(std::string& bytes) const {
    bytes.assign(static_cast<std::size_t>(written_), '\0');
    std::size_t got = 0;
    if (const int error = file_.readAt(0, reinterpret_cast<std::uint8_t*>(bytes.data()), bytes.size(), got))
        return error;
    bytes.resize(got);
    return 0;
}

int TemporaryFile::readAt(std::uint64_t offset, std::uint8_t* data, std::size_t size,
                          std::size_t& got) const {
    got = 0;
    const std::uint64_t written = written_;
    if (offset >= written)
        return 0;
    const auto left = static_cast<std::size_t>(std::min<std::uint64_t>(written - offset, size));
    return file_.readAt(offset, data, left, got);
}

ReplaceResult replaceFile(const std::filesystem::path& target, std::string_view bytes) {
    TemporaryFile file;
    if (const int error = file.create(target))
        return {error, ReplaceStep::Create};
    if (const int error = file.write(bytes.data(), bytes.size()))
        return {error, ReplaceStep::Write};
    if (const int error = file.commit())
        return {error, ReplaceStep::Move};
    return {};
}

} // namespace pontrel::platform
