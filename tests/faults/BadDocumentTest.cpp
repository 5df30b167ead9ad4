// Documents that no export may turn into tables: each stops the run with a message and leaves the
// working folder byte for byte as it was.

#include "FaultFixtures.h"

#include <random>

namespace pontrel::faults {
namespace {

class BadDocument : public FaultTest {
  protected:
    void SetUp() override {
        FaultTest::SetUp();
        school_ = makeSchool("escuela", 1, 3);
        work_ = makeWorkingFolder("vtemp");
        const auto first = exportInto(school_, work_);
        ASSERT_EQ(first.exitCode, 0) << describe(first);
        before_ = snapshot(work_);
    }

    // Exports `bytes` as the document; returns how pontrel-cli ended.
    CliResult exportDocument(const std::string& name, const std::string& bytes) {
        const fs::path doc = root() / name;
        writeFile(doc, bytes);
        auto args = exportArgs(school_, work_);
        args[1] = doc.string();
        return runCli(args, work_, scratch(), std::chrono::minutes(3));
    }

    bench::GeneratedSchool school_;
    fs::path work_;
    FolderSnapshot before_;
};

std::string billionLaughs() {
    std::string doc = "<?xml version=\"1.0\"?>\n<!DOCTYPE SERVICIO [\n <!ENTITY l0 \"ja\">\n";
    for (int i = 1; i <= 10; ++i) {
        doc += " <!ENTITY l" + std::to_string(i) + " \"";
        for (int j = 0; j < 10; ++j)
            doc += "&l" + std::to_string(i - 1) + ";";
        doc += "\">\n";
    }
    return doc + "]>\n<SERVICIO><BLOQUE_DATOS><grupo_datos seq=\"EMPLEADOS\"><grupo_datos><dato>1</dato>"
                 "<dato>&l10;</dato></grupo_datos></grupo_datos></BLOQUE_DATOS></SERVICIO>\n";
}

TEST_F(BadDocument, IsRefusedWithAMessageAndTheFolderUntouched) {
    const std::string valid = readFile(school_.document);
    std::mt19937 rng(5);
    std::string binary(4096, '\0');
    for (auto& c : binary)
        c = static_cast<char>(rng());
    const struct {
        const char* name;
        std::string bytes;
    } cases[] = {
        {"vacio.xml", ""},
        {"solo-blancos.xml", "  \r\n\t \n"},
        {"truncado.xml", valid.substr(0, valid.size() / 2)},
        {"truncado-en-etiqueta.xml", valid.substr(0, valid.find("<dato", valid.size() / 3) + 3)},
        {"binario.xml", binary},
        {"no-xml.xml", "X_EMPLEADO;F_TOMAPOS\n200001;01/09/2010\n"},
        {"solo-declaracion.xml", "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n"},
        {"otra-raiz.xml", "<?xml version=\"1.0\"?><PEDIDO><BLOQUE_DATOS/></PEDIDO>"},
        {"mil-millones-de-risas.xml", billionLaughs()},
        {"codificacion-desconocida.xml", "<?xml version=\"1.0\" encoding=\"X-NINGUNA\"?><SERVICIO/>"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto r = exportDocument(c.name, c.bytes);
        ASSERT_TRUE(endedCleanly(r)) << describe(r);
        EXPECT_EQ(r.exitCode, 1) << describe(r);
        // The message names the document, so the user knows which file to fix.
        EXPECT_NE(r.output.find(c.name), std::string::npos) << describe(r);
        EXPECT_EQ(describeDifference(before_, snapshot(work_)), "");
    }
}

TEST_F(BadDocument, ExternalEntitiesAreNeverRead) {
    const std::string secret = "SECRETO-QUE-NO-DEBE-SALIR";
    const fs::path secretFile = root() / "secreto.txt";
    writeFile(secretFile, secret);
    std::string doc = readFile(school_.document);
    const std::string declaration = "?>\n";
    doc.insert(doc.find(declaration) + declaration.size(),
               "<!DOCTYPE SERVICIO [\n <!ENTITY secreto SYSTEM \"file://" + secretFile.string() +
                   "\">\n <!ENTITY % remoto SYSTEM \"http://127.0.0.1:9/no.dtd\">\n %remoto;\n]>\n");
    const std::string surname = "<dato nombre_dato=\"APELLIDO1\">";
    doc.insert(doc.find(surname) + surname.size(), "&secreto;");
    const auto r = exportDocument("entidad-externa.xml", doc);
    ASSERT_TRUE(endedCleanly(r)) << describe(r);
    if (r.exitCode == 0) {
        for (const auto& entry : fs::recursive_directory_iterator(work_))
            if (entry.is_regular_file()) {
                EXPECT_EQ(readFile(entry.path()).find(secret), std::string::npos) << entry.path();
            }
    } else {
        EXPECT_EQ(r.exitCode, 1) << describe(r);
        EXPECT_EQ(describeDifference(before_, snapshot(work_)), "");
    }
    EXPECT_EQ(r.output.find(secret), std::string::npos);
}

} // namespace
} // namespace pontrel::faults
