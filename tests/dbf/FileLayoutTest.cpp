// The bytes that the engine writes: a golden level-7 table, the header after appends and closes, and
// what a table looks like after the writing program dies in the middle of appending.

#include "DbfTestSupport.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>
#endif

using namespace pontrel::dbf;
using pontrel::testing::ScratchFolder;

namespace {

const Date kDate{2026, 3, 5};

TEST(FileLayout, SmallTableMatchesTheGoldenFileByteForByte) {
    ScratchFolder dir;
    const auto file = dir / "GOLDEN.DBF";
    Table::create(file, {{"NOMBRE", 'C', 10}, {"ORDEN", 'I'}, {"ESTAREA", 'L'}, {"HORAS", 'O'}}, std::nullopt,
                  kDate);
    {
        Table t = Table::open(file, OpenMode::Shared, Access::ReadWrite);
        t.setUpdateDate(kDate);
        RecordBuffer a;
        a.setText("NOMBRE", "Lengua");
        a.setInteger("ORDEN", 1);
        a.setBool("ESTAREA", true);
        a.setDouble("HORAS", 1.5);
        t.append(a);
        RecordBuffer b;
        b.setText("NOMBRE", "\xD1u"); // "Ñu" in Windows-1252
        b.setInteger("ORDEN", -1);
        b.setBool("ESTAREA", false);
        b.setDouble("HORAS", -2.0);
        t.append(b);
        t.append(RecordBuffer{});
        t.close();
    }
    const auto golden = pontrel::testing::readBytes(std::filesystem::path(PONTREL_TEST_DATA_DIR) / "dbf" /
                                                    "golden_level7.dbf");
    ASSERT_FALSE(golden.empty());
    EXPECT_EQ(pontrel::testing::readBytes(file), golden);
}

TEST(FileLayout, EmptyTableHasHeaderTerminatorAndEndMarker) {
    ScratchFolder dir;
    const auto file = dir / "VACIA.DBF";
    Table::create(file, {{"OFERTAMATRI", 'C', 100}, {"DNI", 'I'}}, std::nullopt, kDate);
    const auto b = pontrel::testing::readBytes(file);
    const std::size_t headerLength = 68 + 48 * 2 + 1;
    ASSERT_EQ(b.size(), headerLength + 1);
    EXPECT_EQ(b[0], 0x04);
    EXPECT_EQ(b[1], 126);
    EXPECT_EQ(pontrel::testing::le32(b, 4), 0u);
    EXPECT_EQ(pontrel::testing::le16(b, 8), headerLength);
    EXPECT_EQ(pontrel::testing::le16(b, 10), 1 + 100 + 4);
    EXPECT_EQ(b[28], 0) << "no production index";
    EXPECT_EQ(std::string(b.begin() + 32, b.begin() + 40), "DBWINUS0");
    EXPECT_EQ(std::string(b.begin() + 68, b.begin() + 79), "OFERTAMATRI");
    EXPECT_EQ(b[68 + 32], 'C');
    EXPECT_EQ(b[68 + 33], 100);
    EXPECT_EQ(b[68 + 48 + 32], 'I');
    EXPECT_EQ(b[68 + 48 + 33], 4);
    EXPECT_EQ(b[headerLength - 1], 0x0D);
    EXPECT_EQ(b.back(), 0x1A);
}

TEST(FileLayout, CountAndEndMarkerAreRightAfterEveryClose) {
    ScratchFolder dir;
    const auto file = dir / "ASIGNOMT.DBF";
    Table::create(file, {{"COD", 'C', 10}});
    std::size_t expected = 0;
    for (int round = 0; round < 3; ++round) {
        Table t = Table::open(file, OpenMode::Shared, Access::ReadWrite);
        for (int i = 0; i <= round; ++i) {
            RecordBuffer b;
            b.setText("COD", "R" + std::to_string(round) + "-" + std::to_string(i));
            t.append(b);
            ++expected;
        }
        t.close();
        const auto bytes = pontrel::testing::readBytes(file);
        EXPECT_EQ(pontrel::testing::le32(bytes, 4), expected);
        EXPECT_EQ(bytes.size(), 68 + 48 + 1 + expected * 11 + 1);
        EXPECT_EQ(bytes.back(), 0x1A);
    }
    Table t = Table::open(file, OpenMode::Shared);
    ASSERT_EQ(t.recordCount(), 6u);
    EXPECT_EQ(t.text(5, "COD"), "R2-2");
}

// A child process killed mid-append: POSIX only here; under Wine scripts/windows-check.sh kills runs.
#ifndef _WIN32
// The child appends `records` records and dies without closing the table.
void appendAndDie(const std::filesystem::path& file, int records) {
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        try {
            // Never destroyed: its destructor would close the table properly.
            auto* t = new Table(Table::open(file, OpenMode::Shared, Access::ReadWrite));
            for (int i = 0; i < records; ++i) {
                RecordBuffer b;
                b.setText("NOMBRE", "N" + std::to_string(i));
                b.setInteger("ORDEN", i);
                t->append(b);
            }
        } catch (...) {
            _exit(3);
        }
        _exit(0); // no destructor runs: as a kill in the middle of the run
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_EQ(WEXITSTATUS(status), 0);
}

TEST(FileLayout, AfterADeathMidAppendTheTableOpensWithTheRecordsWritten) {
    ScratchFolder dir;
    const auto file = dir / "MUERTE.DBF";
    Table::create(file, {{"NOMBRE", 'C', 100}, {"ORDEN", 'I'}});
    // Far more than one write batch, so that some records reached the file and some did not.
    appendAndDie(file, 20000);
    std::size_t written = 0;
    {
        Table t = Table::open(file, OpenMode::Shared, Access::ReadWrite);
        written = t.recordCount();
        EXPECT_GT(written, 0u);
        EXPECT_LT(written, 20000u);
        for (std::size_t i = 0; i < written; i += 997) {
            EXPECT_EQ(t.text(i, "NOMBRE"), "N" + std::to_string(i));
            EXPECT_EQ(t.integer(i, "ORDEN"), static_cast<std::int64_t>(i));
        }
        // Appending goes on after the records that count, over whatever the dead program left.
        RecordBuffer b;
        b.setText("NOMBRE", "siguiente");
        EXPECT_EQ(t.append(b), written);
    }
    Table t = Table::open(file, OpenMode::Shared);
    ASSERT_EQ(t.recordCount(), written + 1);
    EXPECT_EQ(t.text(written, "NOMBRE"), "siguiente");
    EXPECT_EQ(std::filesystem::file_size(file), 68 + 96 + 1 + (written + 1) * 105 + 1);
}
#endif

} // namespace
