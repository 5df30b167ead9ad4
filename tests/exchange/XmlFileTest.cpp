// Reading a document's bytes: a byte-order mark decides the encoding over the declaration, and what
// the user reads when a file is refused is Spanish, with the cause, whichever loader refuses it.

#include "exchange/yedra/XmlFile.h"
#include "exchange/yedra/YedraDocument.h"

#include "dbf/Error.h"
#include "support/Bytes.h"
#include "support/ScratchFolder.h"

#include <gtest/gtest.h>
#include <libxml/tree.h>
#include <libxml/xmlIO.h>
#include <libxml/xmlerror.h>
#include <libxml/xmlmemory.h>
#include <libxml/xmlversion.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
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

// The one EMPLEADOS record of `file`, read whole and as an outline, gives `surname` (ANSI) as its
// second field.
void expectSurnameReadBothWays(const std::filesystem::path& file, const std::string& surname) {
    for (const bool outline : {false, true}) {
        try {
            const YedraDocument doc =
                outline ? YedraDocument::loadOutline(file, {"EMPLEADOS"}) : YedraDocument::load(file);
            const auto records = doc.loopRecords("EMPLEADOS");
            ASSERT_EQ(records.size(), 1u);
            EXPECT_EQ(records[0].value(1), surname) << (outline ? "outline" : "whole");
        } catch (const Error& e) {
            ADD_FAILURE() << (outline ? "outline: " : "whole: ") << e.what();
        }
    }
}

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
        expectSurnameReadBothWays(file, c.surname);
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

// UTF-8 text (ASCII and Latin-1 letters suffice) as UTF-32 code units.
std::string utf32(const std::string& utf8, bool bigEndian) {
    std::string out;
    const std::string units = utf16(utf8, true);
    for (std::size_t i = 0; i < units.size(); i += 2) {
        const std::string code = {'\0', '\0', units[i], units[i + 1]};
        out += bigEndian ? code : std::string(code.rbegin(), code.rend());
    }
    return out;
}

// ASCII text in EBCDIC (code page 037), for the characters of a small document.
std::string ebcdic(const std::string& ascii) {
    std::string out;
    for (const char c : ascii) {
        unsigned char e = 0x6F; // «?»
        if (c >= 'a' && c <= 'i')
            e = static_cast<unsigned char>(0x81 + (c - 'a'));
        else if (c >= 'j' && c <= 'r')
            e = static_cast<unsigned char>(0x91 + (c - 'j'));
        else if (c >= 's' && c <= 'z')
            e = static_cast<unsigned char>(0xA2 + (c - 's'));
        else if (c >= 'A' && c <= 'I')
            e = static_cast<unsigned char>(0xC1 + (c - 'A'));
        else if (c >= 'J' && c <= 'R')
            e = static_cast<unsigned char>(0xD1 + (c - 'J'));
        else if (c >= 'S' && c <= 'Z')
            e = static_cast<unsigned char>(0xE2 + (c - 'S'));
        else if (c >= '0' && c <= '9')
            e = static_cast<unsigned char>(0xF0 + (c - '0'));
        else
            switch (c) {
            case ' ':
                e = 0x40;
                break;
            case '<':
                e = 0x4C;
                break;
            case '>':
                e = 0x6E;
                break;
            case '=':
                e = 0x7E;
                break;
            case '"':
                e = 0x7F;
                break;
            case '.':
                e = 0x4B;
                break;
            case '-':
                e = 0x60;
                break;
            case '_':
                e = 0x6D;
                break;
            case '/':
                e = 0x61;
                break;
            case '\n':
                e = 0x25;
                break;
            default:
                break;
            }
        out += static_cast<char>(e);
    }
    return out;
}

std::string declaring(const char* encoding) {
    return std::string("<?xml version=\"1.0\" encoding=\"") + encoding + "\"?>\n";
}

// Valid XML in every encoding that XML's detection of encodings recognises is read; what libxml2
// cannot read is refused naming the encoding, never as a file that does not start with «<».
TEST(XmlFileEncoding, EveryEncodingThatTheFirstBytesNameIsRead) {
    const std::string garcia = "García";
    struct Case {
        const char* name;
        std::string bytes;
        std::string surname; // ANSI
        bool needsIconv;     // an encoding that a libxml2 without iconv (the Windows build) lacks
        const char* named;   // the encoding the refusal names without iconv
    };
    const std::string ansiGarcia = "Garc\xED"
                                   "a";
    const std::vector<Case> cases{
        {"Utf16BigEndianNoMark", utf16(document(declaring("UTF-16BE"), garcia), true), ansiGarcia, false, ""},
        {"Utf16LittleEndianNoMark", utf16(document(declaring("UTF-16LE"), garcia), false), ansiGarcia, false,
         ""},
        {"Utf16BigEndianNoMarkNoDeclaration", utf16(document("", garcia), true), ansiGarcia, false, ""},
        {"Utf32BigEndianMark",
         std::string("\0\0\xFE\xFF", 4) + utf32(document(declaring("UTF-32"), garcia), true), ansiGarcia,
         true, "UTF-32BE"},
        {"Utf32LittleEndianMark",
         std::string("\xFF\xFE\0\0", 4) + utf32(document(declaring("UTF-32"), garcia), false), ansiGarcia,
         true, "UTF-32LE"},
        {"Ucs4BigEndianNoMark", utf32(document(declaring("ISO-10646-UCS-4"), garcia), true), ansiGarcia, true,
         "UTF-32BE"},
        {"Ucs4LittleEndianNoMark", utf32(document(declaring("UCS-4"), garcia), false), ansiGarcia, true,
         "UTF-32LE"},
        {"Ebcdic037", ebcdic(document(declaring("IBM037"), "Garcia")), "Garcia", true, "EBCDIC"},
    };
    ScratchFolder folder;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto file = folder.write(std::string(c.name) + ".xml", c.bytes);
#ifndef LIBXML_ICONV_ENABLED
        if (c.needsIconv) {
            const Refusal refusal = refusalOf(file, false);
            EXPECT_NE(refusal.message.find(c.named), std::string::npos) << refusal.message;
            EXPECT_EQ(refusal.message.find("no empieza por"), std::string::npos) << refusal.message;
            continue;
        }
#endif
        expectSurnameReadBothWays(file, c.surname);
    }
}

// A document whose text the parser never reads, because it lies outside the file, is refused: the
// field that holds it would otherwise read as empty.
TEST(XmlFileMessages, ContentOutsideTheFileIsNamedAsNotLoaded) {
    const struct {
        const char* name;
        std::string bytes;
        std::vector<std::string> says;
    } cases[] = {
        {"ExternalEntity",
         "<?xml version=\"1.0\"?>\n<!DOCTYPE SERVICIO [<!ENTITY claves SYSTEM \"claves.xml\">]>\n<SERVICIO>\n"
         "<dato>&claves;</dato></SERVICIO>",
         {"(línea 4)", "la entidad externa «claves»", "«claves.xml»", "no carga"}},
        {"XInclude",
         "<SERVICIO xmlns:xi=\"http://www.w3.org/2001/XInclude\"><BLOQUE_DATOS>\n<dato><xi:include "
         "href=\"datos.xml\"/></dato></BLOQUE_DATOS></SERVICIO>",
         {"(línea 2)", "XInclude", "«datos.xml»", "no carga"}},
    };
    ScratchFolder folder;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto file = folder.write(std::string(c.name) + ".xml", c.bytes);
        for (const bool outline : {false, true}) {
            const Refusal refusal = refusalOf(file, outline);
            for (const auto& part : c.says)
                EXPECT_NE(refusal.message.find(part), std::string::npos)
                    << part << " in: " << refusal.message;
            EXPECT_EQ(refusal.printed, "");
        }
    }
}

// The bytes that the declared encoding cannot take are placed on their line, with the encoding named,
// wherever in the file they stand (the file is read in pieces of 64 KiB).
TEST(XmlFileMessages, EncodingErrorsAreSaidExactly) {
    ScratchFolder folder;
    const auto wrong =
        folder.write("cp1252.xml", declaring("windows-1252") +
                                       "<SERVICIO>\n<dato>bien</dato>\n<dato>mal \x81</dato>\n</SERVICIO>");
    const Refusal refusal = refusalOf(wrong, false);
    EXPECT_NE(refusal.message.find("(línea 4: el texto no está escrito en la codificación que declara el "
                                   "documento («windows-1252»)"),
              std::string::npos)
        << refusal.message;
    EXPECT_EQ(refusal.message.find("error 6003"), std::string::npos) << refusal.message;

    std::string lines;
    for (int i = 0; i < 3000; ++i)
        lines += "<dato>una línea de relleno para pasar del primer trozo</dato>\n";
    const auto far = folder.write("lejos.xml", declaring("windows-1252") + "<SERVICIO>\n" + lines +
                                                   "<dato>mal \x81</dato>\n</SERVICIO>");
    EXPECT_NE(refusalOf(far, true).message.find("(línea 3003: el texto no está escrito en la codificación"),
              std::string::npos)
        << refusalOf(far, true).message;
}

// No size of document is refused: one larger than 64 MB (the limit there once was) is read whole, its
// records after the bulk included; white space before the first «<» is looked through however long.
TEST(XmlFileSize, LargeDocumentsAndLongLeadingWhiteSpaceAreRead) {
    ScratchFolder folder;
    const auto large = folder.path() / "grande.xml";
    {
        std::ofstream out(large, std::ios::binary);
        out << "<SERVICIO><BLOQUE_DATOS>\n";
        const std::string blanks(1 << 20, ' ');
        for (int i = 0; i < 65; ++i)
            out << blanks << "<grupo_datos seq=\"OTRO\"/>\n";
        out << "<grupo_datos seq=\"EMPLEADOS\"><grupo_datos><dato>1</dato><dato>Último</dato></grupo_datos>"
               "</grupo_datos></BLOQUE_DATOS></SERVICIO>\n";
    }
    ASSERT_GT(std::filesystem::file_size(large), 64ull * 1024 * 1024);
    expectSurnameReadBothWays(large, "\xDA"
                                     "ltimo");

    const std::string leading(200 * 1024, ' ');
    expectSurnameReadBothWays(folder.write("blancos.xml", leading + "\n" +
                                                              document("", "Pe\xC3\xB1"
                                                                           "a")),
                              "Pe\xF1"
                              "a");
    const Refusal notXml = refusalOf(folder.write("texto.xml", leading + "hola"), false);
    EXPECT_NE(notXml.message.find("no empieza por «<»"), std::string::npos) << notXml.message;
    const Refusal empty = refusalOf(folder.write("vacio.xml", leading), true);
    EXPECT_NE(empty.message.find("(línea 1: el documento está vacío)"), std::string::npos) << empty.message;
}

// What was written is read back before it replaces anything: only checked, in pieces of whatever size
// the source gives, in the encoding its mark or declaration says.
TEST(XmlFileReadBack, WrittenDocumentsAreCheckedPieceByPiece) {
    std::string rows;
    for (int i = 0; i < 4000; ++i)
        rows += "  <dato nombre_dato=\"X\">valor " + std::to_string(i) + " \xE1</dato>\n";
    const std::string latin1 =
        declaring("ISO-8859-1") + "<!-- antes -->\n<SERVICIO>\n" + rows + "</SERVICIO>\n";
    struct Case {
        const char* name;
        std::string bytes;
        std::optional<std::string> reason; // nullopt: reads back
    };
    const std::vector<Case> cases = {
        {"Latin1", latin1, std::nullopt},
        {"Utf16WithMark", "\xFF\xFE" + utf16(declaring("UTF-16") + "<SERVICIO>Año</SERVICIO>\n", false),
         std::nullopt},
        {"UnclosedAtTheEnd", declaring("ISO-8859-1") + "<SERVICIO>\n" + rows,
         "línea 4003: el documento termina sin cerrar la etiqueta «SERVICIO» abierta en la línea 2"},
        {"NotTheDeclaredEncoding", declaring("UTF-8") + "<SERVICIO>\n" + rows + "</SERVICIO>\n",
         "línea 3: el texto no está escrito en la codificación que declara el documento"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        // A source that gives at most 7 bytes a call, and one that gives everything at once.
        for (const std::size_t most : {std::size_t{7}, c.bytes.size()}) {
            std::size_t at = 0;
            const auto reason = unreadableXmlReason(XmlPieces([&](char* data, std::size_t size) -> long {
                const std::size_t n = std::min({size, most, c.bytes.size() - at});
                std::memcpy(data, c.bytes.data() + at, n);
                at += n;
                return static_cast<long>(n);
            }));
            if (!c.reason) {
                EXPECT_EQ(reason, std::nullopt) << *reason;
                continue;
            }
            ASSERT_TRUE(reason.has_value());
            EXPECT_EQ(reason->rfind(*c.reason, 0), 0u) << *reason;
        }
        EXPECT_EQ(unreadableXmlReason(std::string_view(c.bytes)).has_value(), c.reason.has_value());
    }

    // A source that fails halfway says so, whatever the bytes read so far.
    std::size_t at = 0;
    const auto failed = unreadableXmlReason(XmlPieces([&](char* data, std::size_t size) -> long {
        if (at >= 100000)
            return -1;
        const std::size_t n = std::min(size, latin1.size() - at);
        std::memcpy(data, latin1.data() + at, n);
        at += n;
        return static_cast<long>(n);
    }));
    EXPECT_EQ(failed, std::optional<std::string>("no se pudo volver a leer lo escrito"));
}

// libxml2's allocations fail after `budget` of them: the machine running out of memory mid-parse.
class FailingAllocations {
  public:
    explicit FailingAllocations(long budget) {
        xmlMemGet(&free_, &malloc_, &realloc_, &strdup_);
        left() = budget;
        xmlMemSetup(
            free_, [](std::size_t size) { return --left() < 0 ? nullptr : std::malloc(size); },
            [](void* p, std::size_t size) { return --left() < 0 ? nullptr : std::realloc(p, size); },
            [](const char* text) -> char* {
                if (--left() < 0)
                    return nullptr;
                const std::size_t size = std::strlen(text) + 1;
                return static_cast<char*>(std::memcpy(std::malloc(size), text, size));
            });
    }
    ~FailingAllocations() { xmlMemSetup(free_, malloc_, realloc_, strdup_); }
    FailingAllocations(const FailingAllocations&) = delete;
    FailingAllocations& operator=(const FailingAllocations&) = delete;

  private:
    static long& left() {
        static long count = 0;
        return count;
    }
    xmlFreeFunc free_ = nullptr;
    xmlMallocFunc malloc_ = nullptr;
    xmlReallocFunc realloc_ = nullptr;
    xmlStrdupFunc strdup_ = nullptr;
};

TEST(XmlFileMessages, RunningOutOfMemoryIsSaidSoNotCalledBadXml) {
    ScratchFolder folder;
    std::string records;
    for (int i = 0; i < 200; ++i)
        records += "<grupo_datos><dato>" + std::to_string(i) + "</dato><dato>García</dato></grupo_datos>";
    const auto valid = folder.write("valido.xml", "<SERVICIO><BLOQUE_DATOS><grupo_datos seq=\"EMPLEADOS\">" +
                                                      records + "</grupo_datos></BLOQUE_DATOS></SERVICIO>");
    for (const long budget : {0L, 5L, 50L, 500L}) {
        SCOPED_TRACE(budget);
        Refusal refusal;
        {
            FailingAllocations failing(budget);
            refusal = refusalOf(valid, false);
        }
        EXPECT_NE(
            refusal.message.find("No hay memoria suficiente para leer el archivo «" + valid.string() + "»"),
            std::string::npos)
            << refusal.message;
        EXPECT_EQ(refusal.message.find("no es un documento XML"), std::string::npos) << refusal.message;
    }
    EXPECT_EQ(YedraDocument::load(valid).loopRecords("EMPLEADOS").size(), 200u) << "with memory, it reads";
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
