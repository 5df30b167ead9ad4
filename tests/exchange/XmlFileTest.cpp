// Reading a document's bytes: a byte-order mark decides the encoding over the declaration, and what
// the user reads when a file is refused is Spanish, with the cause, whichever loader refuses it.

#include "exchange/XmlFile.h"
#include "exchange/YedraDocument.h"

#include "dbf/Error.h"
#include "support/ScratchFolder.h"

#include <gtest/gtest.h>
#include <libxml/tree.h>
#include <libxml/xmlIO.h>
#include <libxml/xmlerror.h>

#include <string>
#include <vector>

namespace pontrel {
namespace {

using testing::ScratchFolder;

// UTF-8 text as UTF-16 code units, little- or big-endian (the Basic Multilingual Plane suffices).
std::string utf16(const std::string& utf8, bool bigEndian) {
    std::string out;
    for (std::size_t i = 0; i < utf8.size();) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        unsigned code = lead;
        std::size_t length = 1;
        if (lead >= 0xE0) {
            code = (lead & 0x0Fu) << 12 | (utf8[i + 1] & 0x3Fu) << 6 | (utf8[i + 2] & 0x3Fu);
            length = 3;
        } else if (lead >= 0xC0) {
            code = (lead & 0x1Fu) << 6 | (utf8[i + 1] & 0x3Fu);
            length = 2;
        }
        const char high = static_cast<char>(code >> 8), low = static_cast<char>(code & 0xFF);
        out += bigEndian ? std::string{high, low} : std::string{low, high};
        i += length;
    }
    return out;
}

std::string document(const std::string& declaration, const std::string& surname) {
    return declaration +
           "<SERVICIO><BLOQUE_DATOS><grupo_datos seq=\"EMPLEADOS\"><grupo_datos><dato>1</dato><dato>" +
           surname + "</dato></grupo_datos></grupo_datos></BLOQUE_DATOS></SERVICIO>\n";
}

const std::string kLatin1Declaration = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n";

TEST(XmlFileEncoding, ByteOrderMarkWinsOverTheDeclaration) {
    const std::string garcia = "García €"; // UTF-8, as every text of the sources
    struct Case {
        const char* name;
        std::string bytes;
        std::string surname; // ANSI
    };
    const std::vector<Case> cases{
        {"Utf8MarkLatin1Declaration", "\xEF\xBB\xBF" + document(kLatin1Declaration, garcia),
         "Garc\xED"
         "a \x80"},
        {"Utf16LittleEndianMarkLatin1Declaration",
         "\xFF\xFE" + utf16(document(kLatin1Declaration, garcia), false),
         "Garc\xED"
         "a \x80"},
        {"Utf16BigEndianMarkLatin1Declaration",
         "\xFE\xFF" + utf16(document(kLatin1Declaration, garcia), true),
         "Garc\xED"
         "a \x80"},
        {"Utf8MarkAgreeingDeclaration",
         "\xEF\xBB\xBF" + document("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n", garcia),
         "Garc\xED"
         "a \x80"},
        {"Utf16MarkWithoutDeclaration", "\xFF\xFE" + utf16(document("", garcia), false),
         "Garc\xED"
         "a \x80"},
        // Without a mark the declaration is what there is to go by.
        {"NoMarkLatin1Declaration",
         document(kLatin1Declaration, "Garc\xED"
                                      "a"),
         "Garc\xED"
         "a"},
    };
    ScratchFolder folder;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto file = folder.write(std::string(c.name) + ".xml", c.bytes);
        for (const bool outline : {false, true}) {
            try {
                const YedraDocument doc =
                    outline ? YedraDocument::loadOutline(file, {"EMPLEADOS"}) : YedraDocument::load(file);
                const auto records = doc.loopRecords("EMPLEADOS");
                ASSERT_EQ(records.size(), 1u);
                EXPECT_EQ(records[0].value(1), c.surname) << (outline ? "outline" : "whole");
            } catch (const Error& e) {
                ADD_FAILURE() << (outline ? "outline: " : "whole: ") << e.what();
            }
        }
    }
}

struct Refusal {
    std::string message;
    std::string printed; // what reached the standard error output meanwhile
};

Refusal refusalOf(const std::filesystem::path& file, bool outline) {
    Refusal refusal{"(no error)", ""};
    ::testing::internal::CaptureStderr();
    try {
        outline ? YedraDocument::loadOutline(file) : YedraDocument::load(file);
    } catch (const Error& e) {
        refusal.message = e.what();
    }
    refusal.printed = ::testing::internal::GetCapturedStderr();
    return refusal;
}

std::string nested(int depth) {
    std::string xml = "<SERVICIO>";
    for (int i = 0; i < depth; ++i)
        xml += "<a>";
    for (int i = 0; i < depth; ++i)
        xml += "</a>";
    return xml + "</SERVICIO>";
}

TEST(XmlFileMessages, SpanishReasonsWithTheCause) {
    struct Case {
        const char* name;
        std::string bytes;
        std::string says;    // the reason, in Spanish
        std::string notSays; // what it must not say
    };
    const std::vector<Case> cases{
        {"Empty", "", "(línea 1: el documento está vacío)", ""},
        {"OnlyBlanks", " \r\n\t\n", "el documento está vacío", ""},
        {"OnlyAMark", "\xEF\xBB\xBF", "vacío", ""},
        {"Text", "X_EMPLEADO;F_TOMAPOS\n200001;01/09/2010\n", "no es un documento XML: no empieza por «<»",
         "vacío"},
        {"TextAfterBlanks", "\n\n  hola <SERVICIO/>", "no empieza por «<»", "vacío"},
        {"TextAfterAMark", "\xEF\xBB\xBFhola", "no empieza por «<»", "vacío"},
        {"Binary", std::string("\0\0\x01\x02<", 5), "no empieza por «<»", "vacío"},
        {"OnlyADeclaration", kLatin1Declaration, "(línea 2: el documento no tiene ningún elemento)", "vacío"},
        // The mark says UTF-8 and the text is ISO-8859-1 as the declaration says: the mark wins.
        {"MarkThatLies",
         "\xEF\xBB\xBF" + document(kLatin1Declaration, "Garc\xED"
                                                       "a"),
         "no está escrito en UTF-8, la codificación que indica la marca", ""},
        {"TooDeep", nested(300), "anidados a más de 256 niveles", "XML_PARSE_HUGE"},
        {"UnfinishedComment", "<SERVICIO/><!-- sin fin", "un comentario no termina con «-->»",
         "not terminated"},
        {"UnknownEncoding", "<?xml version=\"1.0\" encoding=\"X-NINGUNA\"?><SERVICIO/>",
         "la codificación «X-NINGUNA» no está admitida", "Unsupported"},
    };
    ScratchFolder folder;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto file = folder.write(std::string(c.name) + ".xml", c.bytes);
        const Refusal whole = refusalOf(file, false);
        EXPECT_NE(whole.message.find("El archivo «" + file.string() + "» no es un documento XML"),
                  std::string::npos)
            << whole.message;
        EXPECT_NE(whole.message.find(c.says), std::string::npos) << whole.message;
        if (!c.notSays.empty()) {
            EXPECT_EQ(whole.message.find(c.notSays), std::string::npos) << whole.message;
        }
        EXPECT_EQ(whole.message.find("analizador XML:"), std::string::npos) << "libxml2's own text";
        EXPECT_EQ(whole.printed, "") << "nothing of libxml2 on the standard error output";
        // Both loaders read the whole file and refuse it alike.
        const Refusal outline = refusalOf(file, true);
        EXPECT_EQ(outline.message, whole.message);
        EXPECT_EQ(outline.printed, "");
    }
}

// A failed write of libxml2's (the timetable document's) reports in Spanish and prints nothing: the
// text is the caller's to show.
TEST(XmlFileMessages, FailedWritesPrintNothing) {
    quietXmlLibrary();
    const auto failingWrite = [](void*, const char*, int) { return -1; };
    const auto close = [](void*) { return 0; };
    ::testing::internal::CaptureStderr();
    xmlOutputBuffer* out = xmlOutputBufferCreateIO(failingWrite, close, nullptr, nullptr);
    ASSERT_NE(out, nullptr);
    xmlResetLastError();
    xmlOutputBufferWrite(out, 5, "hola\n");
    EXPECT_LT(xmlOutputBufferFlush(out), 0);
    xmlOutputBufferClose(out);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
    const xmlError* error = xmlGetLastError();
    ASSERT_NE(error, nullptr);
    EXPECT_NE(xmlErrorReason(*error).find("falló una lectura o escritura"), std::string::npos)
        << xmlErrorReason(*error);
}

} // namespace
} // namespace pontrel
