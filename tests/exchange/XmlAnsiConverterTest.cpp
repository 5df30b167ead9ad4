// The windows-1252 converter given to a libxml2 without iconv (the Windows build): it must read and
// write what iconv's converter of the Linux build does, fed in pieces as libxml2 feeds it.

#include "exchange/yedra/XmlAnsiConverter.h"
#include "dbf/CodePage.h"

#include <gtest/gtest.h>
#include <libxml/encoding.h>
#include <libxml/tree.h>

#include <algorithm>
#include <optional>
#include <string>

namespace {

using namespace pontrel;

using Converter = int (*)(unsigned char*, int*, const unsigned char*, int*);

// Converts `input` through `convert` with an output buffer of `room` bytes and inputs of at most `piece`
// bytes, as libxml2 calls a converter; nullopt on -2 (what libxml2 reports or writes as a reference).
std::optional<std::string> convertInPieces(Converter convert, const std::string& input, int room, int piece) {
    std::string output;
    std::string pending;
    std::size_t next = 0;
    while (next < input.size() || !pending.empty()) {
        const std::size_t take = std::min<std::size_t>(static_cast<std::size_t>(piece), input.size() - next);
        pending += input.substr(next, take);
        next += take;
        unsigned char out[8];
        int outLength = room;
        int inLength = static_cast<int>(pending.size());
        const int result =
            convert(out, &outLength, reinterpret_cast<const unsigned char*>(pending.data()), &inLength);
        if (result == -2)
            return std::nullopt;
        EXPECT_EQ(result, outLength);
        output.append(reinterpret_cast<const char*>(out), static_cast<std::size_t>(outLength));
        pending.erase(0, static_cast<std::size_t>(inLength));
        if (inLength == 0 && next == input.size())
            return std::nullopt; // a cut character that never completes
    }
    return output;
}

// libxml2's own windows-1252 converter (iconv's, in the Linux build) on `bytes`; nullopt when it refuses.
std::optional<std::string> libxmlToUtf8(const std::string& bytes) {
    xmlCharEncodingHandlerPtr handler = xmlFindCharEncodingHandler("windows-1252");
    if (handler == nullptr)
        return std::nullopt;
    xmlBufferPtr in = xmlBufferCreate();
    xmlBufferPtr out = xmlBufferCreate();
    xmlBufferAdd(in, reinterpret_cast<const xmlChar*>(bytes.data()), static_cast<int>(bytes.size()));
    const int result = xmlCharEncInFunc(handler, out, in);
    std::optional<std::string> text;
    if (result >= 0)
        text = std::string(reinterpret_cast<const char*>(xmlBufferContent(out)),
                           static_cast<std::size_t>(xmlBufferLength(out)));
    xmlBufferFree(in);
    xmlBufferFree(out);
    xmlCharEncCloseFunc(handler);
    return text;
}

TEST(XmlAnsiConverter, EveryByteAsTheCodePageDefinesIt) {
    for (unsigned b = 0x01; b < 0x100; ++b) {
        SCOPED_TRACE(b);
        const std::string byte(1, static_cast<char>(b));
        const std::optional<std::string> utf8 = convertInPieces(xmlansi::toUtf8, byte, 4, 1);
        if (dbf::codepage::isUnassignedInAnsi(static_cast<unsigned char>(b))) {
            EXPECT_EQ(utf8, std::nullopt); // 0x81 0x8D 0x8F 0x90 0x9D: not windows-1252
            continue;
        }
        ASSERT_TRUE(utf8);
        EXPECT_EQ(*utf8, dbf::codepage::ansiToUtf8(byte));
        EXPECT_EQ(convertInPieces(xmlansi::fromUtf8, *utf8, 4, 1), byte); // back, one byte at a time
    }
#ifndef _WIN32 // the Windows build has no other converter to compare with
    std::string all;
    for (unsigned b = 0x01; b < 0x100; ++b)
        if (!dbf::codepage::isUnassignedInAnsi(static_cast<unsigned char>(b)))
            all += static_cast<char>(b);
    EXPECT_EQ(convertInPieces(xmlansi::toUtf8, all, 3, 5), libxmlToUtf8(all));
    for (const char* unassigned : {"\x81", "\x8D", "\x8F", "\x90", "\x9D"})
        EXPECT_EQ(libxmlToUtf8(unassigned), std::nullopt);
#endif
}

TEST(XmlAnsiConverter, WritingStopsAtACharacterTheCodePageLacks) {
    // Characters cut between pieces and an output with room for little: the same bytes in the end.
    EXPECT_EQ(convertInPieces(xmlansi::fromUtf8, "Ñandú €5 “sí”", 2, 3),
              dbf::codepage::utf8ToAnsi("Ñandú €5 “sí”"));
    // Each of these stops the converter where it stands, for libxml2 to write a character reference.
    for (const char* lacking : {"\xC2\x81", "ą", "\xE2\x88\x9E", "\xF0\x9F\x98\x80"}) { // U+0081 ą ∞ 😀
        SCOPED_TRACE(lacking);
        const std::string text = std::string("ab") + lacking + "cd";
        unsigned char out[16];
        int outLength = sizeof out;
        int inLength = static_cast<int>(text.size());
        EXPECT_EQ(xmlansi::fromUtf8(out, &outLength, reinterpret_cast<const unsigned char*>(text.data()),
                                    &inLength),
                  -2);
        EXPECT_EQ(inLength, 2);
        EXPECT_EQ(outLength, 2);
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(out), 2), "ab");
    }
}

} // namespace
