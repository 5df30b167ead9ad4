#include "exchange/yedra/YedraDocument.h"

#include "dbf/Error.h"
#include "support/Bytes.h"
#include "support/ErrorOf.h"
#include "support/ScratchFolder.h"

#include <gtest/gtest.h>
#include <libxml/tree.h>
#include <libxml/xmlerror.h>

#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace pontrel {
namespace {

using testing::ScratchFolder;
using Rows = std::vector<std::vector<std::string>>;

const std::filesystem::path kData = std::filesystem::path(PONTREL_TEST_DATA_DIR) / "exchange";

std::string envelope(const std::string& blockContent) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<SERVICIO>\n <BLOQUE_DATOS>\n" + blockContent +
           "\n </BLOQUE_DATOS>\n</SERVICIO>\n";
}

// Every field value of every record, in order.
Rows rowsOf(const std::vector<YedraRecord>& records) {
    Rows rows;
    for (const YedraRecord& record : records) {
        std::vector<std::string> row;
        for (std::size_t i = 0; i < record.fieldCount(); ++i)
            row.push_back(record.value(i));
        rows.push_back(row);
    }
    return rows;
}

YedraDocument loadText(const ScratchFolder& folder, const std::string& xml) {
    return YedraDocument::load(folder.write("documento.xml", xml));
}

std::string errorOf(const std::filesystem::path& file, bool outline = false) {
    return testing::errorOf([&] { outline ? YedraDocument::loadOutline(file) : YedraDocument::load(file); });
}

struct SelectionCase {
    const char* name;
    std::string xml;
    const char* group;
    Rows records;     // every record selected, whatever its field count
    Rows loopRecords; // those that the record loop reads
};

const std::string kRecordA = "<grupo_datos><dato>11</dato><dato>A</dato></grupo_datos>";
const std::string kRecordB = "<grupo_datos><dato>12</dato><dato>B</dato><dato>b</dato></grupo_datos>";

std::vector<SelectionCase> selectionCases() {
    return {
        {"GroupMissing",
         envelope("<grupo_datos seq=\"MATERIAS\">" + kRecordA + "</grupo_datos>"),
         "DEPENDENCIAS",
         {},
         {}},
        {"TwoGroupsOfTheSameNameInDocumentOrder",
         envelope("<grupo_datos seq=\"MATERIAS\">" + kRecordA +
                  "</grupo_datos>"
                  "<grupo_datos "
                  "seq=\"UNIDADES\"><grupo_datos><dato>u</dato><dato>v</dato></grupo_datos></grupo_datos>"
                  "<grupo_datos seq=\"MATERIAS\">" +
                  kRecordB + "</grupo_datos>"),
         "MATERIAS",
         {{"11", "A"}, {"12", "B", "b"}},
         {{"11", "A"}, {"12", "B", "b"}}},
        {"SeqComparedWithLetterCase",
         envelope("<grupo_datos seq=\"materias\">" + kRecordA + "</grupo_datos>"),
         "MATERIAS",
         {},
         {}},
        {"SeqComparedWhole",
         envelope("<grupo_datos seq=\"MATERIAS \">" + kRecordA + "</grupo_datos>"),
         "MATERIAS",
         {},
         {}},
        {"FieldCountsAndTheRecordLoop",
         envelope("<grupo_datos seq=\"MATERIAS\">"
                  "<grupo_datos/>"
                  "<grupo_datos><dato>solo</dato></grupo_datos>" +
                  kRecordA + "</grupo_datos>"),
         "MATERIAS",
         {{}, {"solo"}, {"11", "A"}},
         {{"11", "A"}}},
        {"DeeperNestingNotSelected",
         envelope("<grupo_datos seq=\"MATERIAS\">"
                  "<grupo_datos><dato>11</dato><dato>A</dato>"
                  "<grupo_datos><dato>hondo</dato><dato>x</dato></grupo_datos>"
                  "<otro><dato>no</dato></otro></grupo_datos>"
                  "<envoltorio>" +
                  kRecordB +
                  "</envoltorio></grupo_datos>"
                  "<otro><grupo_datos seq=\"MATERIAS\">" +
                  kRecordB + "</grupo_datos></otro>"),
         "MATERIAS",
         {{"11", "A"}},
         {{"11", "A"}}},
        {"GroupOutsideTheDataBlockNotSelected",
         "<SERVICIO><grupo_datos seq=\"MATERIAS\">" + kRecordA + "</grupo_datos><BLOQUE_DATOS/></SERVICIO>",
         "MATERIAS",
         {},
         {}},
        {"TwoDataBlocksBothRead",
         "<SERVICIO><BLOQUE_DATOS><grupo_datos seq=\"MATERIAS\">" + kRecordA +
             "</grupo_datos></BLOQUE_DATOS><BLOQUE_DATOS><grupo_datos seq=\"MATERIAS\">" + kRecordB +
             "</grupo_datos></BLOQUE_DATOS></SERVICIO>",
         "MATERIAS",
         {{"11", "A"}, {"12", "B", "b"}},
         {{"11", "A"}, {"12", "B", "b"}}},
        {"OtherElementsTextAndAttributesIgnored",
         envelope("<grupo_datos seq=\"MATERIAS\" otro=\"1\">texto suelto<!-- nota -->"
                  "<grupo_datos nombre=\"x\">antes<dato nombre_dato=\"A\">11</dato><nota>n</nota>medio"
                  "<dato>A</dato>despues</grupo_datos></grupo_datos>"),
         "MATERIAS",
         {{"11", "A"}},
         {{"11", "A"}}},
        {"NamespacedElementsAreOtherElements",
         "<SERVICIO xmlns:y=\"urn:y\"><BLOQUE_DATOS><grupo_datos seq=\"MATERIAS\">"
         "<grupo_datos><dato>11</dato><y:dato>no</y:dato><dato>A</dato></grupo_datos>"
         "<y:grupo_datos><dato>1</dato><dato>2</dato></y:grupo_datos></grupo_datos>"
         "<grupo_datos y:seq=\"MATERIAS\">" +
             kRecordB + "</grupo_datos></BLOQUE_DATOS></SERVICIO>",
         "MATERIAS",
         {{"11", "A"}},
         {{"11", "A"}}},
    };
}

// How a group's records are read depends on what lies around it: a group that is the data block's
// first child holds the academic year and is kept whole; after the year, its records are read as
// texts (no nodes for what they hold), unless the document declares entities (then element by
// element). Each way must give the same records.
std::string withYearFirst(const std::string& xml) {
    std::string out = xml;
    if (const std::size_t at = out.find("<BLOQUE_DATOS>"); at != std::string::npos)
        out.insert(at + std::strlen("<BLOQUE_DATOS>"), "<C_ANNO>2026</C_ANNO>");
    return out;
}

std::string declaringAnEntity(const std::string& xml) {
    const std::size_t at = xml.rfind("<?xml", 0) == 0 ? xml.find("?>") + 2 : 0;
    return xml.substr(0, at) + "<!DOCTYPE SERVICIO [<!ENTITY sin_usar \"x\">]>" + xml.substr(at);
}

std::vector<std::pair<std::string, std::string>> readingWays(const std::string& xml) {
    return {{"kept whole", xml},
            {"as texts", withYearFirst(xml)},
            {"element by element", declaringAnEntity(withYearFirst(xml))}};
}

TEST(YedraDocumentSelection, FollowsTheChildAxisInDocumentOrder) {
    ScratchFolder folder;
    for (const SelectionCase& c : selectionCases()) {
        for (const auto& [way, xml] : readingWays(c.xml)) {
            SCOPED_TRACE(std::string(c.name) + ", " + way);
            const YedraDocument document = loadText(folder, xml);
            EXPECT_EQ(rowsOf(document.records(c.group)), c.records);
            EXPECT_EQ(rowsOf(document.loopRecords(c.group)), c.loopRecords);
            // An outline that keeps the group selects the same records.
            const YedraDocument outline =
                YedraDocument::loadOutline(folder.write("documento.xml", xml), {c.group});
            EXPECT_EQ(rowsOf(outline.records(c.group)), c.records);
            EXPECT_EQ(rowsOf(outline.loopRecords(c.group)), c.loopRecords);
        }
    }
}

// A selection is kept by the document: records taken earlier must stay readable while other groups
// are selected, the same group is selected again and the document is moved.
TEST(YedraDocumentSelection, RecordsStayReadableAcrossLaterSelectionsAndMoves) {
    ScratchFolder folder;
    std::string groups;
    for (int g = 0; g < 12; ++g)
        groups += "<grupo_datos seq=\"G" + std::to_string(g) + "\"><grupo_datos><dato>" + std::to_string(g) +
                  "</dato><dato>nombre largo del grupo " + std::to_string(g) + "</dato></grupo_datos>" +
                  kRecordB + "</grupo_datos>";
    YedraDocument document = loadText(folder, envelope(groups));
    const auto first = document.records("G0");
    const auto firstLoop = document.loopRecords("G0");
    for (int g = 1; g < 12; ++g)
        EXPECT_EQ(
            rowsOf(document.records("G" + std::to_string(g))),
            (Rows{{std::to_string(g), "nombre largo del grupo " + std::to_string(g)}, {"12", "B", "b"}}));
    const YedraDocument moved = std::move(document);
    const Rows expected = {{"0", "nombre largo del grupo 0"}, {"12", "B", "b"}};
    EXPECT_EQ(rowsOf(first), expected);
    EXPECT_EQ(rowsOf(firstLoop), expected);
    EXPECT_EQ(rowsOf(moved.records("G0")), expected);
    EXPECT_EQ(rowsOf(moved.loopRecords("G0")), expected);
}

TEST(YedraDocumentFields, ValuesAreTrimmedAndConvertedRawValuesOnlyConverted) {
    const std::string content =
        envelope("<grupo_datos seq=\"EMPLEADOS\"><grupo_datos>"
                 "<dato> \t\n MAT 1 \t\n</dato>"                 // 0: blanks, a tab, line breaks around
                 "<dato>&#160;GARCIA&#160;</dato>"               // 1: non-breaking spaces stay
                 "<dato>Matemáticas Ñ €</dato>"                  // 2: in the code page
                 "<dato> Ā中😀 </dato>"                           // 3: not in the code page
                 "<dato/>"                                       // 4: empty
                 "<dato>A<b>B<c>C</c></b><![CDATA[<D>]]></dato>" // 5: text of everything inside
                 "<dato>&amp;&lt;&#x41;</dato>"                  // 6: references
                 "<dato>a<!-- nota -->b<?pi x?>c</dato>"         // 7: no text in these
                 "</grupo_datos></grupo_datos>");
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"MAT 1", " \t\n MAT 1 \t\n"},
        {"\xA0GARCIA\xA0", "\xA0GARCIA\xA0"},
        {"Matem\xE1ticas \xD1 \x80", "Matem\xE1ticas \xD1 \x80"},
        {"???", " ??? "},
        {"", ""},
        {"ABC<D>", "ABC<D>"},
        {"&<A", "&<A"},
        {"abc", "abc"},
    };
    ScratchFolder folder;
    for (const auto& [way, xml] : readingWays(content)) {
        SCOPED_TRACE(way);
        const YedraDocument document = loadText(folder, xml);
        const std::vector<YedraRecord> records = document.records("EMPLEADOS");
        ASSERT_EQ(records.size(), 1u);
        const YedraRecord& r = records[0];
        ASSERT_EQ(r.fieldCount(), expected.size());
        for (std::size_t i = 0; i < expected.size(); ++i) {
            SCOPED_TRACE(i);
            EXPECT_EQ(r.value(i), expected[i].first);
            EXPECT_EQ(r.rawValue(i), expected[i].second);
        }
        // A position beyond the last field reads as empty.
        EXPECT_EQ(r.value(expected.size()), "");
        EXPECT_EQ(r.rawValue(100), "");
    }
}

TEST(YedraDocumentFields, DeclaredEncodingsReachTheCodePage) {
    struct EncodingCase {
        const char* encoding;
        std::string textBytes; // the field's text in that encoding
        std::string ansi;
    };
    const std::vector<EncodingCase> cases = {
        {"ISO-8859-1", "Espa\xF1ol", "Espa\xF1ol"},
        {"windows-1252",
         "\x80 \x93"
         "cita\x94",
         "\x80 \x93"
         "cita\x94"},
        {"UTF-8", "Español", "Espa\xF1ol"},
    };
    ScratchFolder folder;
    for (const EncodingCase& c : cases) {
        SCOPED_TRACE(c.encoding);
        const std::string xml = std::string("<?xml version=\"1.0\" encoding=\"") + c.encoding +
                                "\"?><SERVICIO><BLOQUE_DATOS><grupo_datos seq=\"G\"><grupo_datos><dato>" +
                                c.textBytes +
                                "</dato><dato>x</dato></grupo_datos></grupo_datos></BLOQUE_DATOS></SERVICIO>";
        const YedraDocument document = loadText(folder, xml);
        const std::vector<YedraRecord> records = document.loopRecords("G");
        ASSERT_EQ(records.size(), 1u);
        EXPECT_EQ(records[0].value(0), c.ansi);
    }
}

TEST(YedraDocumentFields, InternalEntitiesExpandExternalOnesAreNeverRead) {
    ScratchFolder folder;
    const YedraDocument internal = loadText(
        folder, "<!DOCTYPE SERVICIO [<!ENTITY centro \"IES Sur\">]><SERVICIO><BLOQUE_DATOS>"
                "<grupo_datos seq=\"G\"><grupo_datos><dato>&centro;</dato><dato>x</dato></grupo_datos>"
                "</grupo_datos></BLOQUE_DATOS></SERVICIO>");
    EXPECT_EQ(internal.loopRecords("G").at(0).value(0), "IES Sur");

    // secret.txt lies beside the document, where the entity's relative path would find it. It is never
    // read; the document is refused, saying so, rather than read with the entity's place left empty.
    ASSERT_TRUE(std::filesystem::exists(kData / "secret.txt"));
    const std::string secret = testing::readFile(kData / "secret.txt");
    ASSERT_FALSE(secret.empty());
    const std::string message = testing::errorOf([] { YedraDocument::load(kData / "external-entity.xml"); });
    EXPECT_NE(
        message.find("(línea 8): contiene la entidad externa «secreto», que hace referencia a «secret.txt»"),
        std::string::npos)
        << message;
    EXPECT_EQ(message.find(secret), std::string::npos) << message;
}

// An entity that an external subset would declare (never read) has no text: a reference to it reads as
// nothing, in records read as texts as in those read element by element.
TEST(YedraDocumentFields, ReferencesToUndeclaredEntitiesReadAsNothing) {
    const std::string body =
        "<SERVICIO><BLOQUE_DATOS><C_ANNO>2026</C_ANNO><grupo_datos seq=\"G\"><grupo_datos>"
        "<dato>a&desconocida;b</dato><dato>x</dato></grupo_datos></grupo_datos>"
        "</BLOQUE_DATOS></SERVICIO>";
    ScratchFolder folder;
    for (const char* doctype : {"<!DOCTYPE SERVICIO SYSTEM \"no-existe.dtd\">",
                                "<!DOCTYPE SERVICIO SYSTEM \"no-existe.dtd\" [<!ENTITY sin_usar \"x\">]>"}) {
        SCOPED_TRACE(doctype);
        EXPECT_EQ(loadText(folder, doctype + body).loopRecords("G").at(0).value(0), "ab");
    }
}

TEST(YedraDocumentLoad, RefusesWhatIsNotAYedraDocument) {
    ScratchFolder folder;
    struct BrokenCase {
        const char* name;
        std::filesystem::path file;
        int line;
        std::string reasonPart;
    };
    const std::vector<BrokenCase> cases = {
        {"TagMismatch", kData / "tag-mismatch.xml", 6, "«grupo_datos»"},
        {"WrongRoot", kData / "wrong-root.xml", 3, "«HORARIOS»"},
        {"RootInOtherLetterCase", folder.write("minusculas.xml", "<?xml version=\"1.0\"?>\n<servicio/>\n"), 2,
         "«SERVICIO»"},
        // The groups are selected without a namespace: the message must say why SERVICIO is refused.
        {"RootInANamespace",
         folder.write("espacio.xml", "<?xml version=\"1.0\"?>\n<SERVICIO xmlns=\"urn:otra:cosa\">"
                                     "<BLOQUE_DATOS/></SERVICIO>\n"),
         2, "espacio de nombres «urn:otra:cosa»"},
        {"BillionLaughs", kData / "billion-laughs.xml", 17, "expanden sin fin"},
        {"Truncated", folder.write("cortado.xml", "<SERVICIO>\n<BLOQUE_DATOS>\n<grupo_datos seq=\"M\">"), 3,
         ""},
        {"Empty", folder.write("vacio.xml", ""), 1, "vacío"},
        {"LooseAmpersand",
         folder.write("ampersand.xml", "<SERVICIO>\n<BLOQUE_DATOS>\n<dato>A & B</dato>\n"
                                       "</BLOQUE_DATOS></SERVICIO>"),
         3, ""},
        {"TextAfterTheRoot", folder.write("resto.xml", "<SERVICIO/>\n\nbasura"), 3, "después"},
        {"BadBytesForTheEncoding",
         folder.write("bytes.xml", "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                                   "<SERVICIO>\xFF\xFE</SERVICIO>"),
         2, ""},
    };
    for (const BrokenCase& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string message = errorOf(c.file);
        // The import reads only the outline, but the whole file, and refuses it the same way.
        EXPECT_EQ(errorOf(c.file, true), message);
        EXPECT_NE(message.find("El archivo «" + c.file.string() + "» no es un documento"), std::string::npos)
            << message;
        if (c.line > 0)
            EXPECT_NE(message.find("(línea " + std::to_string(c.line) + ": "), std::string::npos) << message;
        else
            EXPECT_NE(message.find("(línea "), std::string::npos) << message;
        EXPECT_NE(message.find(c.reasonPart), std::string::npos) << message;
    }
}

// The parser's errors are caught for one load only: whoever had the error handler before gets it back.
TEST(YedraDocumentLoad, GivesBackTheErrorHandler) {
    static int reports = 0;
    const xmlStructuredErrorFunc own = [](void*, xmlErrorPtr) { ++reports; };
    xmlSetStructuredErrorFunc(nullptr, own);
    EXPECT_NE(errorOf(kData / "tag-mismatch.xml").find("línea 6"), std::string::npos);
    EXPECT_EQ(reports, 0);
    EXPECT_EQ(xmlStructuredError, own);
    xmlSetStructuredErrorFunc(nullptr, nullptr);
}

TEST(YedraDocumentLoad, MissingFileNamesIt) {
    ScratchFolder folder;
    const std::filesystem::path missing = folder.path() / "no-esta.xml";
    const std::string message = errorOf(missing);
    EXPECT_NE(message.find(missing.string()), std::string::npos) << message;
    EXPECT_NE(message.find("No existe"), std::string::npos) << message;
}

TEST(YedraDocumentAcademicYear, FirstChildOfTheDataBlock) {
    struct YearCase {
        const char* name;
        std::string xml;
        std::optional<std::string> text;
    };
    const std::vector<YearCase> cases = {
        {"GroupWithOneField",
         envelope("  <grupo_datos seq=\"ANNO\"><dato>2024</dato></grupo_datos>\n  <grupo_datos seq=\"M\"/>"),
         "2024"},
        {"WhitespaceInsideDoesNotCount",
         envelope("<grupo_datos seq=\"ANNO\">\n   <dato>2023</dato>\n   <dato>x</dato>\n  </grupo_datos>"),
         "2023x"},
        {"TextNodeFirst", "<SERVICIO><BLOQUE_DATOS>2025<grupo_datos/></BLOQUE_DATOS></SERVICIO>", "2025"},
        {"ConvertedToTheCodePage", envelope("<a>Año</a>"), "A\xF1o"},
        {"EmptyDataBlock", envelope("   \n  "), std::nullopt},
        {"NoDataBlock", "<SERVICIO><OTRO>2024</OTRO></SERVICIO>", std::nullopt},
        {"OnlyTheFirstDataBlock",
         "<SERVICIO><BLOQUE_DATOS/><BLOQUE_DATOS><a>2024</a></BLOQUE_DATOS></SERVICIO>", std::nullopt},
        {"FirstDataBlockOutOfANamespaceCounts",
         "<SERVICIO><BLOQUE_DATOS xmlns=\"urn:x\"><a>1999</a></BLOQUE_DATOS>"
         "<BLOQUE_DATOS><a>20<b>2</b>4</a><a>1998</a></BLOQUE_DATOS></SERVICIO>",
         "2024"},
        {"CommentFirst", envelope("<!-- anno --><a>2024</a>"), " anno "},
        {"EntityInTheYear",
         "<!DOCTYPE SERVICIO [<!ENTITY anno \"2026\">]><SERVICIO><BLOQUE_DATOS><a>&anno;</a>"
         "<grupo_datos seq=\"M\"><grupo_datos><dato>&anno;</dato></grupo_datos></grupo_datos>"
         "</BLOQUE_DATOS></SERVICIO>",
         "2026"},
        {"YearAfterOtherRootChildren",
         "<SERVICIO><CABECERA><a><b>1</b></a></CABECERA>\n<BLOQUE_DATOS>\n<a>2027<b/>x</a>"
         "<g><r><d>9</d></r></g></BLOQUE_DATOS></SERVICIO>",
         "2027x"},
    };
    ScratchFolder folder;
    for (const YearCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(loadText(folder, c.xml).academicYearSource(), c.text);
        // The outline the import loads keeps the year whatever surrounds it.
        EXPECT_EQ(YedraDocument::loadOutline(folder.write("documento.xml", c.xml)).academicYearSource(),
                  c.text);
    }
}

// Elements below the root's children, counted.
std::size_t elementsBelow(const xmlNode* node, int depth = 0) {
    std::size_t count = 0;
    for (const xmlNode* child = node->children; child != nullptr; child = child->next)
        if (child->type == XML_ELEMENT_NODE)
            count += (depth >= 1 ? 1 : 0) + elementsBelow(child, depth + 1);
    return count;
}

// The outline keeps what lies outside the root and the year, and lets the data groups go while the
// document is read, as the whole load does once it has taken the records: the tree of either holds
// no element below the root's children however many records the document has.
TEST(YedraDocumentOutline, KeepsTheYearAndWhatLiesOutsideTheRootAndLetsTheDataGo) {
    std::string records;
    for (int i = 0; i < 2000; ++i)
        records += "<grupo_datos><dato>P" + std::to_string(i) + "</dato><dato>x</dato></grupo_datos>\n";
    const std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!-- antes -->\n<?pi uno?>\n"
                            "<SERVICIO>\n <BLOQUE_DATOS>\n  <grupo_datos seq=\"ANNO\"><dato>2026</dato>"
                            "</grupo_datos>\n  <grupo_datos seq=\"EMPLEADOS\">\n" +
                            records + "  </grupo_datos>\n </BLOQUE_DATOS>\n</SERVICIO>\n<!-- despues -->\n";
    ScratchFolder folder;
    const auto file = folder.write("centro.xml", xml);
    const YedraDocument whole = YedraDocument::load(file);
    const YedraDocument outline = YedraDocument::loadOutline(file);
    ASSERT_EQ(whole.records("EMPLEADOS").size(), 2000u);
    EXPECT_EQ(rowsOf(YedraDocument::loadOutline(file, {"EMPLEADOS"}).records("EMPLEADOS")),
              rowsOf(whole.records("EMPLEADOS")));

    EXPECT_EQ(outline.academicYearSource(), "2026");
    std::vector<std::string> outside;
    for (const xmlNode* node = outline.xml()->children; node != nullptr; node = node->next)
        outside.push_back(reinterpret_cast<const char*>(node->name));
    EXPECT_EQ(outside, (std::vector<std::string>{"comment", "pi", "SERVICIO", "comment"}));

    EXPECT_EQ(elementsBelow(xmlDocGetRootElement(outline.xml())), 0u);
    EXPECT_EQ(elementsBelow(xmlDocGetRootElement(whole.xml())), 0u);
    EXPECT_EQ(whole.groupNames(), (std::vector<std::string>{"ANNO", "EMPLEADOS"}));
    EXPECT_THROW(outline.records("EMPLEADOS"), Error);
}

} // namespace
} // namespace pontrel
