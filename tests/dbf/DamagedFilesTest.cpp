// Damaged or foreign files: each gives an error that names the file and what is wrong, never a crash.

#include "DbfTestSupport.h"

#include <gtest/gtest.h>

#include <functional>

using namespace pontrel::dbf;
using pontrel::testing::ScratchFolder;

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes golden() {
    return pontrel::testing::readBytes(std::filesystem::path(PONTREL_TEST_DATA_DIR) / "dbf" /
                                       "golden_level7.dbf");
}

using pontrel::testing::putLe16;
using pontrel::testing::putLe32;

struct Damage {
    const char* what;
    std::function<void(Bytes&)> damage;
    const char* mentions; // a phrase the message must contain
};

TEST(DamagedFiles, EachDamageGivesAClearErrorNamingTheFile) {
    // golden_level7.dbf: 4 fields (header 261 bytes), records of 24 bytes, 3 records.
    const std::vector<Damage> damages = {
        {"zero-length file", [](Bytes& b) { b.clear(); }, "vacío"},
        {"cut inside the fixed header", [](Bytes& b) { b.resize(20); }, "termina antes"},
        {"cut inside the field descriptors", [](Bytes& b) { b.resize(150); }, "cabecera dice medir"},
        {"header longer than the file", [](Bytes& b) { putLe16(b, 8, 60000); }, "cabecera dice medir"},
        {"header shorter than its fixed part", [](Bytes& b) { putLe16(b, 8, 40); }, "parte fija"},
        {"descriptors past the header length", [](Bytes& b) { putLe16(b, 8, 150); }, "sobrepasa"},
        {"record length disagrees with the fields", [](Bytes& b) { putLe16(b, 10, 30); },
         "longitud de registro"},
        {"record count beyond the end", [](Bytes& b) { putLe32(b, 4, 1000); }, "1000 registros"},
        {"count near 2^32", [](Bytes& b) { putLe32(b, 4, 0xFFFFFFFF); }, "registros"},
        {"last record cut short", [](Bytes& b) { b.resize(b.size() - 10); }, "termina antes"},
        {"unknown field type", [](Bytes& b) { b[68 + 48 + 32] = 'Z'; }, "tipo desconocido"},
        {"field of width 0", [](Bytes& b) { b[68 + 33] = 0; }, "anchura 0"},
        {"integer field not 4 bytes wide", [](Bytes& b) { b[68 + 48 + 33] = 3; }, "debe tener 4"},
        {"no fields at all", [](Bytes& b) { b[68] = 0x0D; }, "ningún campo"},
        {"version byte of no dBase level", [](Bytes& b) { b[0] = 0x00; }, "nivel"},
        {"text, not a table", [](Bytes& b) { b.assign(64, 'x'); }, "nivel"},
        {"field name of control bytes", [](Bytes& b) { b[68] = 0x01; }, "campo 1 no tiene un nombre"},
        {"field name with a line break",
         [](Bytes& b) {
             b[68 + 48 + 1] = '\n';
             b[68 + 48 + 2] = 'X';
         },
         "campo 2 no tiene un nombre"},
        {"field name of blanks", [](Bytes& b) { std::fill_n(b.begin() + 68, 32, ' '); },
         "campo 1 no tiene un nombre"},
    };
    ScratchFolder dir;
    for (const Damage& d : damages) {
        SCOPED_TRACE(d.what);
        Bytes bytes = golden();
        ASSERT_FALSE(bytes.empty());
        d.damage(bytes);
        const auto file = dir / "DANADA.DBF";
        pontrel::testing::writeFile(file, bytes);
        const std::string message = dbftest::errorOf([&] { Table::open(file, OpenMode::Shared); });
        EXPECT_NE(message.find("DANADA.DBF"), std::string::npos) << message;
        EXPECT_NE(message.find(d.mentions), std::string::npos) << message;
    }
}

TEST(DamagedFiles, MissingFilesAndFoldersAreNamed) {
    ScratchFolder dir;
    std::string message = dbftest::errorOf([&] { Table::open(dir / "NOESTA.DBF", OpenMode::Shared); });
    EXPECT_NE(message.find("NOESTA.DBF"), std::string::npos) << message;
    EXPECT_NE(message.find("no existe"), std::string::npos) << message;

    message = dbftest::errorOf([&] { Table::open(dir.path(), OpenMode::Shared); });
    EXPECT_NE(message.find("carpeta"), std::string::npos) << message;

    message = dbftest::errorOf([&] { Table::create(dir / "NOHAY" / "X.DBF", {{"A", 'C', 1}}); });
    EXPECT_NE(message.find("X.DBF"), std::string::npos) << message;
}

TEST(DamagedFiles, NumberFieldHoldingTextIsReportedWithRecordAndValue) {
    ScratchFolder dir;
    // A dBase III table with one N(4,0) field whose second record holds "12ab".
    Bytes b(32 + 32 + 1, 0);
    b[0] = 0x03;
    putLe32(b, 4, 2);
    putLe16(b, 8, 65);
    putLe16(b, 10, 5);
    const std::string name = "DIA";
    std::copy(name.begin(), name.end(), b.begin() + 32);
    b[32 + 11] = 'N';
    b[32 + 16] = 4;
    b[64] = 0x0D;
    for (const char* record : {"    7", " 12ab"})
        b.insert(b.end(), record, record + 5);
    b.push_back(0x1A);
    pontrel::testing::writeFile(dir / "SOLUC.DBF", b);
    Table t = Table::open(dir / "SOLUC.DBF", OpenMode::Shared);
    EXPECT_EQ(t.integer(0, "DIA"), 7);
    const std::string message = dbftest::errorOf([&] { t.integer(1, "DIA"); });
    EXPECT_NE(message.find("registro 2"), std::string::npos) << message;
    EXPECT_NE(message.find("12ab"), std::string::npos) << message;
    EXPECT_NE(message.find("DIA"), std::string::npos) << message;
}

} // namespace
