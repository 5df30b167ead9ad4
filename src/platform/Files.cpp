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
    written_ += size;
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
    if (offset >= written_)
        return 0;
    const auto left = static_cast<std::size_t>(std::min<std::uint64_t>(written_ - offset, size));
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
