#include "exchange/yedra/XmlAnsiConverter.h"

#include "dbf/CodePage.h"

#include <cstring>
#include <string>
#include <string_view>

namespace pontrel::xmlansi {

namespace codepage = dbf::codepage;

int toUtf8(unsigned char* out, int* outLength, const unsigned char* in, int* inLength) {
    int read = 0, written = 0;
    int result = 0;
    std::string character;
    while (read < *inLength) {
        if (codepage::isUnassignedInAnsi(in[read])) {
            result = -2;
            break;
        }
        character.clear();
        codepage::appendUtf8(character, codepage::unicodeOf(codepage::CodePage::Windows1252, in[read]));
        if (written + static_cast<int>(character.size()) > *outLength)
            break;
        std::memcpy(out + written, character.data(), character.size());
        written += static_cast<int>(character.size());
        ++read;
    }
    *inLength = read;
    *outLength = written;
    return result < 0 ? result : written;
}

int fromUtf8(unsigned char* out, int* outLength, const unsigned char* in, int* inLength) {
    const std::string_view text(reinterpret_cast<const char*>(in), static_cast<std::size_t>(*inLength));
    int read = 0, written = 0;
    int result = 0;
    while (read < *inLength && written < *outLength) {
        char32_t character = 0;
        std::size_t length = 1;
        const codepage::Utf8Read found =
            codepage::readUtf8(text, static_cast<std::size_t>(read), character, length);
        if (found == codepage::Utf8Read::Truncated)
            break; // the rest of the character comes with the next call
        const auto byte =
            found == codepage::Utf8Read::Character ? codepage::ansiByteOf(character) : std::nullopt;
        if (!byte || codepage::isUnassignedInAnsi(*byte)) {
            result = -2;
            break;
        }
        out[written++] = *byte;
        read += static_cast<int>(length);
    }
    *inLength = read;
    *outLength = written;
    return result < 0 ? result : written;
}

} // namespace pontrel::xmlansi
