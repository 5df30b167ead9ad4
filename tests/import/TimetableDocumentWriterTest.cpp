// The timetable document: what it keeps of the loaded document, its structure, its texts and how
// it is saved.

#include "import/WorkingTablesFixture.h"
#include "import/XmlProbe.h"
#include "support/ErrorOf.h"

#include "dbf/Error.h"
#include "exchange/text/Ansi.h"
#include "exchange/yedra/YedraDocument.h"
#include "import/TimetableDocumentWriter.h"

#include <gtest/gtest.h>
#include <libxml/xmlversion.h>

#include <csignal>
#include <functional>
#ifndef _WIN32
#include "support/ReadOnlyFolder.h"
#include <sys/resource.h>
#include <unistd.h>
#endif

namespace pontrel::importing {
namespace {

using testing::ScratchFolder;
using testing::XmlProbe;
namespace fs = std::filesystem;

const fs::path kLatin1Document = fs::path(PONTREL_TEST_DATA_DIR) / "import" / "matricula-latin1.xml";

ActivityValues activity(const std::string& room = "A1") {
    return ActivityValues{"1",          "T1",         room,  "U1A", "11", "101",
                          "15/09/2025", "22/06/2026", "510", "565", "513"};
}

// Copies `source` into `folder` under `name` and returns the copy's path.
fs::path copyInto(const fs::path& source, const fs::path& folder, const std::string& name) {
    const auto target = folder / name;
    fs::copy_file(source, target);
    return target;
}

TEST(TimetableDocumentWriter, KeepsNodesOutsideTheRootAndBuildsTheTimetablesInOrder) {
    ScratchFolder folder;
    const auto input = copyInto(kLatin1Document, folder.path(), "exportacion.xml");
    int clockCalls = 0;
    TimetableDocumentWriter writer([&] { return ++clockCalls == 1 ? "10/12/2026 9:05:07" : "later"; });
    writer.StartDocument(YedraDocument::load(input), "2025");
    writer.StartTimetables(3);
    writer.AddTeacher("1001", "01/09/2010", 2);
    writer.AddActivity(activity());
    writer.AddActivity(activity());
    writer.AddTeacher("1002", "01/09/2011", 0);
    writer.AddTeacher("1003", "01/09/2012", 1);
    writer.AddActivity(activity());
    const auto output = writer.SaveDocument(input);

    EXPECT_EQ(output, folder.path() / "ResultadoDastelexportacion.xml");
    EXPECT_EQ(clockCalls, 1) << "the timestamp is taken when the document is started, not when it is saved";

    const std::string bytes = testing::readFile(output);
    EXPECT_EQ(bytes.rfind("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>", 0), 0u) << bytes.substr(0, 80);
    const auto leadingComment = bytes.find("<!-- Exportaci\xF3n de Yedra: centro 41000001 -->");
    const auto instruction = bytes.find("<?yedra-version 3.2?>");
    const auto trailingComment = bytes.find("<!-- fin del documento -->");
    const auto root = bytes.find("<SERVICIO");
    ASSERT_NE(leadingComment, std::string::npos);
    ASSERT_NE(instruction, std::string::npos);
    ASSERT_NE(trailingComment, std::string::npos);
    EXPECT_LT(leadingComment, instruction);
    EXPECT_LT(instruction, trailingComment);
    EXPECT_LT(trailingComment, root) << "the new root is the last node of the document";
    EXPECT_EQ(bytes.find("MATERIAS"), std::string::npos) << "the old root's content is gone";
    EXPECT_EQ(bytes.find("EXPORTACION"), std::string::npos);

    XmlProbe probe(output);
    xmlNode* servicio = probe.root();
    EXPECT_EQ(XmlProbe::name(servicio), "SERVICIO");
    EXPECT_EQ(XmlProbe::attributeNames(servicio),
              (std::vector<std::string>{"modulo", "tipo", "autor", "fecha"}));
    EXPECT_EQ(XmlProbe::attribute(servicio, "modulo"), "HORARIOS");
    EXPECT_EQ(XmlProbe::attribute(servicio, "tipo"), "I");
    EXPECT_EQ(XmlProbe::attribute(servicio, "autor"), "HORARIOS");
    EXPECT_EQ(XmlProbe::attribute(servicio, "fecha"), "10/12/2026 9:05:07");

    const auto blocks = XmlProbe::elements(servicio);
    ASSERT_EQ(blocks.size(), 1u);
    EXPECT_EQ(XmlProbe::name(blocks[0]), "BLOQUE_DATOS");
    EXPECT_TRUE(XmlProbe::attributeNames(blocks[0]).empty());
    const auto groups = XmlProbe::elements(blocks[0]);
    ASSERT_EQ(groups.size(), 2u);
    EXPECT_EQ(XmlProbe::attributeNames(groups[0]), std::vector<std::string>{"seq"});
    EXPECT_EQ(XmlProbe::attribute(groups[0], "seq"), "ANNO_ACADEMICO");
    EXPECT_EQ(XmlProbe::datos(groups[0]),
              (std::vector<std::pair<std::string, std::string>>{{"C_ANNO", "2025"}}));
    EXPECT_EQ(XmlProbe::attributeNames(groups[1]), (std::vector<std::string>{"seq", "registros"}));
    EXPECT_EQ(XmlProbe::attribute(groups[1], "seq"), "HORARIOS_REGULARES");
    EXPECT_EQ(XmlProbe::attribute(groups[1], "registros"), "3");

    const auto teachers = XmlProbe::groups(groups[1]);
    ASSERT_EQ(teachers.size(), 3u);
    const std::vector<std::tuple<std::string, std::string, std::string, std::vector<std::string>>> expected{
        {"HORARIO_REGULAR_PROFESOR_1", "2", "1001", {"ACTIVIDAD_1", "ACTIVIDAD_2"}},
        {"HORARIO_REGULAR_PROFESOR_2", "0", "1002", {}},
        {"HORARIO_REGULAR_PROFESOR_3", "1", "1003", {"ACTIVIDAD_1"}}};
    const std::vector<std::string> datoNames{"N_DIASEMANA",    "X_TRAMO",      "X_DEPENDENCIA", "X_UNIDAD",
                                             "X_OFERTAMATRIG", "X_MATERIAOMG", "F_INICIO",      "F_FIN",
                                             "N_HORINI",       "N_HORFIN",     "X_ACTIVIDAD"};
    for (std::size_t t = 0; t < teachers.size(); ++t) {
        const auto& [seq, count, employee, activities] = expected[t];
        SCOPED_TRACE(seq);
        EXPECT_EQ(XmlProbe::attributeNames(teachers[t]), (std::vector<std::string>{"seq", "registros"}));
        EXPECT_EQ(XmlProbe::attribute(teachers[t], "seq"), seq);
        EXPECT_EQ(XmlProbe::attribute(teachers[t], "registros"), count);
        const auto children = XmlProbe::elements(teachers[t]);
        ASSERT_EQ(children.size(), 2 + activities.size());
        EXPECT_EQ(XmlProbe::attribute(children[0], "nombre_dato"), "X_EMPLEADO");
        EXPECT_EQ(XmlProbe::text(children[0]), employee);
        EXPECT_EQ(XmlProbe::attribute(children[1], "nombre_dato"), "F_TOMAPOS");
        for (std::size_t a = 0; a < activities.size(); ++a) {
            const xmlNode* group = children[2 + a];
            EXPECT_EQ(XmlProbe::attributeNames(group), std::vector<std::string>{"seq"});
            EXPECT_EQ(XmlProbe::attribute(group, "seq"), activities[a]);
            std::vector<std::string> names;
            for (const auto& [name, value] : XmlProbe::datos(group))
                names.push_back(name);
            EXPECT_EQ(names, datoNames);
        }
    }
}

TEST(TimetableDocumentWriter, WritesTextsInTheDeclaredEncodingEscapedAndEmptyValuesAsEmptyElements) {
    ScratchFolder folder;
    const auto input = copyInto(kLatin1Document, folder.path(), "centro.xml");
    TimetableDocumentWriter writer([] { return "x"; });
    writer.StartDocument(YedraDocument::load(input), "2025");
    writer.StartTimetables(1);
    writer.AddTeacher(" 1001 ", "", 1); // untrimmed, and an empty date
    ActivityValues values = activity("Lab. F\xEDsica & Qu\xEDmica <1>");
    values.X_TRAMO.clear();
    values.N_DIASEMANA.clear();
    writer.AddActivity(values);
    const auto output = writer.SaveDocument(input);

    const std::string bytes = testing::readFile(output);
    EXPECT_NE(bytes.find("Lab. F\xEDsica &amp; Qu\xEDmica &lt;1&gt;"), std::string::npos)
        << "ISO-8859-1 letters as single bytes, markup escaped";
    EXPECT_EQ(bytes.find("í"), std::string::npos) << "no UTF-8 sequences in an ISO-8859-1 document";

    XmlProbe probe(output);
    const auto teacher = XmlProbe::groups(probe.timetables()).at(0);
    const auto teacherDatos = XmlProbe::datos(teacher);
    EXPECT_EQ(teacherDatos.at(0).second, " 1001 ");
    EXPECT_EQ(teacherDatos.at(1).second, "");
    const auto activityGroup = XmlProbe::groups(teacher).at(0);
    const auto datos = XmlProbe::datos(activityGroup);
    ASSERT_EQ(datos.size(), 11u);
    EXPECT_EQ(datos[0], (std::pair<std::string, std::string>{"N_DIASEMANA", ""}));
    EXPECT_EQ(datos[1], (std::pair<std::string, std::string>{"X_TRAMO", ""}));
    EXPECT_EQ(datos[2].second, "Lab. Física & Química <1>") << "read back as the same text";
    EXPECT_EQ(XmlProbe::elements(probe.timetables()).size(), 1u);
}

// The last guard of a well-formed document: whatever the caller checked, a value that XML cannot hold
// is refused, the data item named, and no output is left.
TEST(TimetableDocumentWriter, RefusesAValueThatXmlCannotHold) {
    const struct {
        const char* what;
        std::function<void(TimetableDocumentWriter&)> add;
        const char* named;
    } cases[] = {
        {"room with 0x01", [](auto& w) { w.AddActivity(activity("A\x01")); }, "X_DEPENDENCIA"},
        {"activity with a NUL inside",
         [](auto& w) {
             ActivityValues v = activity();
             v.X_ACTIVIDAD = std::string("51\0"
                                         "3",
                                         4);
             w.AddActivity(v);
         },
         "X_ACTIVIDAD en el documento de horarios: su valor contiene el carácter nulo 0x00 (posición 3)"},
        {"employee key with an escape",
         [](auto& w) {
             w.AddTeacher("10\x1B"
                          "01",
                          "01/09/2010", 0);
         },
         "X_EMPLEADO"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ScratchFolder folder;
        const auto input = copyInto(kLatin1Document, folder.path(), "centro.xml");
        {
            TimetableDocumentWriter writer([] { return "x"; });
            writer.StartDocument(YedraDocument::load(input), "2025");
            writer.StartTimetables(1);
            writer.AddTeacher("1001", "01/09/2010", 1);
            const std::string message = testing::errorOf([&] { c.add(writer); });
            EXPECT_NE(message.find(c.named), std::string::npos) << message;
        }
        EXPECT_FALSE(fs::exists(folder.path() / "ResultadoDastelcentro.xml"));
    }
}

// UTF-16 code units of ASCII text, little- or big-endian.
std::string asciiAsUtf16(const std::string& ascii, bool bigEndian) {
    std::string out;
    for (const char c : ascii)
        out += bigEndian ? std::string{'\0', c} : std::string{c, '\0'};
    return out;
}

// The output is written only in an encoding that reads back as it was written; in any other the
// output is UTF-8 and declares it, and the run is told.
TEST(TimetableDocumentWriter, WritesOnlyInEncodingsThatReadBack) {
    const auto declared = [](const char* encoding) {
        return std::string("<?xml version=\"1.0\" encoding=\"") + encoding +
               "\"?>\n<SERVICIO><BLOQUE_DATOS><dato>2024</dato></BLOQUE_DATOS></SERVICIO>\n";
    };
    const struct {
        const char* name;
        std::string input;
        std::string starts; // the output's first bytes
        bool changed;       // written in UTF-8 instead of the declared encoding
        bool needsIconv;
    } cases[] = {
        {"UTF-7", declared("UTF-7"), "<?xml version=\"1.0\" encoding=\"UTF-8\"?>", true, true},
        {"Shift_JIS", declared("Shift_JIS"), "<?xml version=\"1.0\" encoding=\"UTF-8\"?>", true, true},
        {"UCS-2 declared, UTF-16LE without a mark", asciiAsUtf16(declared("ISO-10646-UCS-2"), false),
         "\xFF\xFE" + asciiAsUtf16("<?xml version=\"1.0\" encoding=\"UTF-16\"?>", false), false, false},
        {"UTF-16BE with its mark", "\xFE\xFF" + asciiAsUtf16(declared("UTF-16BE"), true),
         "\xFF\xFE" + asciiAsUtf16("<?xml version=\"1.0\" encoding=\"UTF-16\"?>", false), false, false},
        {"windows-1252", declared("windows-1252"), "<?xml version=\"1.0\" encoding=\"windows-1252\"?>", false,
         false},
        {"ISO-8859-15", declared("ISO-8859-15"), "<?xml version=\"1.0\" encoding=\"ISO-8859-15\"?>", false,
         true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
#ifndef LIBXML_ICONV_ENABLED
        if (c.needsIconv)
            continue;
#endif
        ScratchFolder folder;
        const auto input = folder.write("centro.xml", c.input);
        TimetableDocumentWriter writer([] { return "x"; });
        writer.StartDocument(YedraDocument::load(input), "2024");
        EXPECT_EQ(writer.encodingNote().empty(), !c.changed) << writer.encodingNote();
        writer.StartTimetables(300);
        for (int t = 0; t < 300; ++t) { // more than libxml2's buffers hold at once
            writer.AddTeacher("1001", "01/09/2010", 1);
            writer.AddActivity(activity("F\xEDsica \x80"));
        }
        const std::string bytes = testing::readFile(writer.SaveDocument(input));
        EXPECT_EQ(bytes.rfind(c.starts, 0), 0u) << bytes.substr(0, 80);
        if (c.starts.rfind("\xFF\xFE", 0) == 0) {
            EXPECT_EQ(bytes.find("\xFF\xFE", 2), std::string::npos) << "one byte-order mark, at the start";
        }
        XmlProbe probe(folder.path() / "ResultadoDastelcentro.xml");
        const auto teachers = XmlProbe::groups(probe.timetables());
        ASSERT_EQ(teachers.size(), 300u);
        EXPECT_EQ(XmlProbe::datos(XmlProbe::groups(teachers.back()).at(0)).at(2).second, "Física €");
    }
}

TEST(TimetableDocumentWriter, DocumentWithoutDeclarationIsWrittenAsUtf8) {
    ScratchFolder folder;
    const auto input = folder.path() / "sin-declaracion.xml";
    testing::writeFile(input, "<SERVICIO><BLOQUE_DATOS><grupo_datos seq=\"ANNO_ACADEMICO\"><dato>2024</dato>"
                              "</grupo_datos></BLOQUE_DATOS></SERVICIO>");
    TimetableDocumentWriter writer([] { return "x"; });
    writer.StartDocument(YedraDocument::load(input), "2024");
    writer.StartTimetables(1);
    writer.AddTeacher("7", "01/09/2020", 1);
    writer.AddActivity(activity("Espa\xF1"
                                "a"));
    const std::string bytes = testing::readFile(writer.SaveDocument(input));
    EXPECT_EQ(bytes.rfind("<?xml version=\"1.0\" encoding=\"UTF-8\"?>", 0), 0u) << bytes.substr(0, 60);
    EXPECT_NE(bytes.find("España"), std::string::npos);
}

TEST(TimetableDocumentWriter, OutputGoesNextToTheInputWithThePrefix) {
    const std::vector<std::pair<fs::path, fs::path>> cases{
        {"/datos/exportacion.xml", "/datos/ResultadoDastelexportacion.xml"},
        {"exportacion.xml", "ResultadoDastelexportacion.xml"},
        {"/datos/curso 25/Centro.XML", "/datos/curso 25/ResultadoDastelCentro.XML"}};
    for (const auto& [input, output] : cases)
        EXPECT_EQ(timetableDocumentPath(input), output) << input;
}

TEST(TimetableDocumentWriter, SavingAgainReplacesTheEarlierOutput) {
    ScratchFolder folder;
    const auto input = copyInto(kLatin1Document, folder.path(), "exportacion.xml");
    for (const std::string year : {"2024", "2025"}) {
        TimetableDocumentWriter writer([] { return "x"; });
        writer.StartDocument(YedraDocument::load(input), year);
        writer.StartTimetables(0);
        writer.SaveDocument(input);
    }
    XmlProbe probe(folder.path() / "ResultadoDastelexportacion.xml");
    const auto block = XmlProbe::elements(probe.root()).at(0);
    EXPECT_EQ(XmlProbe::datos(XmlProbe::groups(block).at(0)).at(0).second, "2025");
    EXPECT_EQ(std::distance(fs::directory_iterator(folder.path()), fs::directory_iterator()), 2)
        << "no temporary file is left behind";
}

TEST(TimetableDocumentWriter, OperationsOutOfOrderAreRefused) {
    TimetableDocumentWriter writer([] { return "x"; });
    EXPECT_THROW(writer.StartTimetables(1), Error);
    EXPECT_THROW(writer.AddTeacher("1", "01/01/2000", 0), Error);
    EXPECT_THROW(writer.AddActivity(activity()), Error);
    EXPECT_THROW(writer.SaveDocument("/tmp/x.xml"), Error);
}

// A document ready to be saved, for the failure cases.
struct ReadyWriter {
    fs::path input;
    TimetableDocumentWriter writer{[] { return "x"; }};
    explicit ReadyWriter(const fs::path& folder)
        : input(copyInto(kLatin1Document, folder, "exportacion.xml")) {
        writer.StartDocument(YedraDocument::load(input), "2025");
        writer.StartTimetables(1);
        writer.AddTeacher("1001", "01/09/2010", 1);
        writer.AddActivity(activity());
    }
};

std::size_t entriesIn(const fs::path& folder) {
    return static_cast<std::size_t>(std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
}

// A failed save names the document, the file and the step, gives the system's reason in brackets and,
// once something was written, says that an earlier output is as it was.
void expectSaveMessage(const std::string& message, const fs::path& target, const std::string& step,
                       bool earlierKept) {
    const std::string start =
        "No se pudo guardar el documento de horarios «" + target.string() + "»: " + step + " (";
    const std::string end =
        earlierKept ? "). El documento anterior, si lo había, no se ha modificado." : ").";
    EXPECT_EQ(message.substr(0, start.size()), start) << message;
    ASSERT_GT(message.size(), start.size() + end.size()) << message;
    EXPECT_EQ(message.substr(message.size() - end.size()), end) << message;
    EXPECT_EQ(message.find(')'), message.size() - end.size()) << "one reason, in brackets: " << message;
}

std::string saveFailure(TimetableDocumentWriter& writer, const fs::path& documentPath) {
    try {
        writer.SaveDocument(documentPath);
    } catch (const Error& e) {
        return e.what();
    }
    ADD_FAILURE() << "the save must fail";
    return {};
}

TEST(TimetableDocumentWriterSaving, OutputInAFolderThatDoesNotExistIsRefusedBeforeWriting) {
    ScratchFolder folder;
    ReadyWriter ready(folder.path());
    const auto missing = folder.path() / "falta" / "exportacion.xml";
    expectSaveMessage(saveFailure(ready.writer, missing), timetableDocumentPath(missing),
                      "no se puede escribir en su carpeta", false);
    EXPECT_EQ(entriesIn(folder.path()), 1u) << "nothing but the input";
}

// File-size limits and folder permissions are POSIX tools; Windows has neither.
#ifndef _WIN32
// A disk that fills up while the document is written: the file-size limit makes every write past 64
// bytes fail, also for root.
TEST(TimetableDocumentWriterSaving, WriteFailureLeavesTheEarlierOutputIntact) {
    ScratchFolder folder;
    ReadyWriter ready(folder.path());
    const auto target = folder.path() / "ResultadoDastelexportacion.xml";
    testing::writeFile(target, "earlier output");

    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 64;
    setrlimit(RLIMIT_FSIZE, &small);
    std::string message;
    try {
        ready.writer.SaveDocument(ready.input);
    } catch (const Error& e) {
        message = e.what();
    }
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);

    expectSaveMessage(message, target, "la escritura falló", true);
    EXPECT_NE(message.find("supera el tamaño que admite el disco"), std::string::npos)
        << "the cause in Spanish: " << message;
    EXPECT_EQ(testing::readFile(target), "earlier output");
    EXPECT_EQ(entriesIn(folder.path()), 2u) << "the temporary file is removed";
}

TEST(TimetableDocumentWriterSaving, ReadOnlyFolderLeavesTheEarlierOutputIntact) {
    ScratchFolder folder;
    ReadyWriter ready(folder.path());
    const auto target = folder.path() / "ResultadoDastelexportacion.xml";
    testing::writeFile(target, "earlier output");
    {
        testing::ReadOnlyFolder readOnly(folder.path());
        if (!readOnly.made())
            GTEST_SKIP() << "this machine lets no folder be made read-only (" << readOnly.why()
                         << "); the write-failure and folder-in-the-way cases cover the save's failure paths";
        EXPECT_THROW(ready.writer.SaveDocument(ready.input), Error);
    }
    EXPECT_EQ(testing::readFile(target), "earlier output");
}
#endif

TEST(TimetableDocumentWriterSaving, FolderInThePlaceOfTheOutputIsLeftAlone) {
    ScratchFolder folder;
    ReadyWriter ready(folder.path());
    const auto target = folder.path() / "ResultadoDastelexportacion.xml";
    fs::create_directory(target);
    testing::writeFile(target / "dentro.txt", "kept");
    const std::string message = saveFailure(ready.writer, ready.input);
    expectSaveMessage(message, target, "no se puede reemplazar", true);
    EXPECT_NE(message.find("es una carpeta, no un archivo"), std::string::npos)
        << "the cause in Spanish: " << message;
    EXPECT_EQ(testing::readFile(target / "dentro.txt"), "kept");
    EXPECT_EQ(entriesIn(folder.path()), 2u) << "the temporary file is removed";
}

// The document is written while it grows; the form must still be the one libxml2 gives a saved tree,
// which earlier outputs had: a parse of the output saved again by libxml2 gives the same bytes.
TEST(TimetableDocumentWriter, OutputIsWhatLibxml2WritesForTheSameTree) {
    struct Case {
        const char* name;
        std::string document; // "" for the ISO-8859-1 fixture
        std::size_t teachers;
    };
    const std::vector<Case> cases{
        {"ISO-8859-1 with comments and an instruction", "", 3},
        {"no declaration", "<SERVICIO><BLOQUE_DATOS><dato>2024</dato></BLOQUE_DATOS></SERVICIO>", 2},
        {"UTF-8, standalone, trailing comment",
         "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n<?pi x?>\n<SERVICIO/>\n<!-- fin "
         "-->\n",
         1},
        {"no teachers", "", 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScratchFolder folder;
        fs::path input = folder.path() / "centro.xml";
        if (c.document.empty())
            fs::copy_file(kLatin1Document, input);
        else
            testing::writeFile(input, c.document);
        TimetableDocumentWriter writer([] { return "10/12/2026 \"9:05\" <&>"; });
        writer.StartDocument(YedraDocument::load(input), "20&5");
        writer.StartTimetables(c.teachers);
        for (std::size_t t = 0; t < c.teachers; ++t) {
            writer.AddTeacher(" 100" + std::to_string(t), t == 1 ? "" : "01/09/2010", t == 1 ? 0 : 2);
            if (t == 1)
                continue; // a teacher without entries
            // The euro sign and a typographic quote of Windows-1252 are not in ISO-8859-1; 0x81 is a
            // C1 control in both.
            ActivityValues values = activity("Sala \"A\" & B <1>\r\tF\xEDsica \x80 \x93\x81");
            values.X_TRAMO.clear();
            writer.AddActivity(values);
            writer.AddActivity(activity("'"));
        }
        const auto output = writer.SaveDocument(input);

        const std::string bytes = testing::readFile(output);
        XmlProbe probe(output);
        xmlChar* again = nullptr;
        int size = 0;
        const char* encoding =
            probe.doc()->encoding ? reinterpret_cast<const char*>(probe.doc()->encoding) : "UTF-8";
        xmlDocDumpFormatMemoryEnc(probe.doc(), &again, &size, encoding, 1);
        ASSERT_NE(again, nullptr);
        const std::string saved(reinterpret_cast<const char*>(again), static_cast<std::size_t>(size));
        xmlFree(again);
        EXPECT_EQ(bytes, saved);
        if (c.teachers == 0) {
            EXPECT_NE(bytes.find("registros=\"0\"/>"), std::string::npos) << "an empty timetables block";
            continue;
        }
        EXPECT_NE(bytes.find("<dato nombre_dato=\"X_TRAMO\"/>"), std::string::npos) << "an empty value";
        // A reader cannot tell a wrong byte from a right one here: the forms themselves.
        EXPECT_NE(bytes.find(c.document.empty() ? "F\xEDsica &#8364; &#8220;\x81"
                                                : "Física € \xE2\x80\x9C\xC2\x81"),
                  std::string::npos);
    }
}

TEST(TimetableDocumentWriter, UnsavedDocumentLeavesNoFileAndTheEarlierOutputAsItWas) {
    // How far the run got before it stopped.
    for (const int steps : {1, 2, 4}) {
        SCOPED_TRACE(steps);
        ScratchFolder folder;
        const auto input = copyInto(kLatin1Document, folder.path(), "exportacion.xml");
        const auto earlier = folder.path() / "ResultadoDastelexportacion.xml";
        testing::writeFile(earlier, "earlier output");
        {
            TimetableDocumentWriter writer([] { return "x"; });
            writer.StartDocument(YedraDocument::load(input), "2025");
            if (steps >= 2)
                writer.StartTimetables(2);
            if (steps >= 4) {
                writer.AddTeacher("1001", "01/09/2010", 1);
                writer.AddActivity(activity());
            }
        }
        EXPECT_EQ(testing::readFile(earlier), "earlier output");
        EXPECT_EQ(entriesIn(folder.path()), 2u) << "nothing but the input and the earlier output";
    }
}

TEST(TimetableDocumentWriter, SavedForADocumentPathInAnotherFolderTheOutputGoesThere) {
    ScratchFolder loaded, other;
    const auto input = copyInto(kLatin1Document, loaded.path(), "exportacion.xml");
    TimetableDocumentWriter writer([] { return "x"; });
    writer.StartDocument(YedraDocument::load(input), "2025");
    writer.StartTimetables(1);
    writer.AddTeacher("1001", "01/09/2010", 1);
    writer.AddActivity(activity("Aula & 1"));
    const auto output = writer.SaveDocument(other.path() / "exportacion.xml");

    EXPECT_EQ(output, other.path() / "ResultadoDastelexportacion.xml");
    EXPECT_EQ(
        XmlProbe::datos(XmlProbe::groups(XmlProbe::groups(XmlProbe(output).timetables()).at(0)).at(0)).at(2),
        (std::pair<std::string, std::string>{"X_DEPENDENCIA", "Aula & 1"}));
    EXPECT_EQ(entriesIn(loaded.path()), 1u) << "no temporary file beside the loaded document";
    EXPECT_EQ(entriesIn(other.path()), 1u);
}

} // namespace
} // namespace pontrel::importing
