#include "exchange/XmlEncodings.h"

#include <libxml/encoding.h>

#include <mutex>

namespace pontrel {

namespace {

// Unicode of the bytes 0x80 to 0x9F; the rest of windows-1252 is ISO-8859-1. 0 marks the five
// unassigned bytes.
constexpr unsigned short kHigh[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                      0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                      0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

unsigned codePointOf(unsigned char byte) {
    return byte >= 0x80 && byte < 0xA0 ? kHigh[byte - 0x80] : byte;
}

// libxml2's converter contract: consume what fits, report both lengths, -2 for a byte it cannot take.
int toUtf8(unsigned char* out, int* outLength, const unsigned char* in, int* inLength) {
    int read = 0, written = 0;
    while (read < *inLength) {
        const unsigned cp = codePointOf(in[read]);
        if (cp == 0) {
            *inLength = read;
            *outLength = written;
            return -2;
        }
        const int need = cp < 0x80 ? 1 : cp < 0x800 ? 2 : 3;
        if (written + need > *outLength)
            break;
        if (need == 1) {
            out[written++] = static_cast<unsigned char>(cp);
        } else if (need == 2) {
            out[written++] = static_cast<unsigned char>(0xC0 | (cp >> 6));
            out[written++] = static_cast<unsigned char>(0x80 | (cp & 0x3F));
        } else {
            out[written++] = static_cast<unsigned char>(0xE0 | (cp >> 12));
            out[written++] = static_cast<unsigned char>(0x80 | ((cp >> 6) & 0x3F));
            out[written++] = static_cast<unsigned char>(0x80 | (cp & 0x3F));
        }
        ++read;
    }
    *inLength = read;
    *outLength = written;
    return written;
}

int byteOf(unsigned cp) {
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF))
        return static_cast<int>(cp);
    for (int i = 0; i < 32; ++i)
        if (kHigh[i] != 0 && kHigh[i] == cp)
            return 0x80 + i;
    return -1;
}

int fromUtf8(unsigned char* out, int* outLength, const unsigned char* in, int* inLength) {
    int read = 0, written = 0;
    while (read < *inLength && written < *outLength) {
        const unsigned char lead = in[read];
        const int size = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        if (read + size > *inLength)
            break; // the rest of the character comes with the next call
        unsigned cp = size == 1 ? lead : lead & (0x3F >> (size - 1));
        for (int k = 1; k < size; ++k)
            cp = (cp << 6) | (in[read + k] & 0x3F);
        const int byte = byteOf(cp);
        if (byte < 0) {
            // libxml2 writes a character reference for it and calls again.
            *inLength = read;
            *outLength = written;
            return -2;
        }
        out[written++] = static_cast<unsigned char>(byte);
        read += size;
    }
    *inLength = read;
    *outLength = written;
    return written;
}

} // namespace

void registerXmlEncodings() {
    static std::once_flag once;
    std::call_once(once, [] {
        if (xmlCharEncodingHandler* existing = xmlFindCharEncodingHandler("windows-1252")) {
            xmlCharEncCloseFunc(existing);
            return;
        }
        // Registered with libxml2 by the call itself, under this name and its aliases' lookups.
        xmlNewCharEncodingHandler("windows-1252", toUtf8, fromUtf8);
    });
}

} // namespace pontrel
