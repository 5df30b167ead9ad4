// An opening that only appends keeps in memory no more than the records not yet written: the file
// it leaves is the one any other opening leaves, and what has gone to the file can no longer be read
// through it. Where a lookup or the production index needs every record, it keeps them all.

#include "DbfTestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace pontrel::dbf;
using pontrel::testing::ScratchFolder;

namespace {

const std::vector<FieldSpec> kFields = {{"COD", 'C', 10}, {"TEXTO", 'C', 240}, {"ORDEN", 'I', 4}};
const Date kDate{2026, 12, 11};
// Records of 255 bytes: 3,000 of them reach the file in two batches and leave the rest in memory.
constexpr std::size_t kRecords = 3000;

RecordBuffer recordNumber(std::size_t n) {
    RecordBuffer r;
    r.setText("COD", "R" + std::to_string(n));
    r.setText("TEXTO", std::string(200, static_cast<char>('a' + n % 26)));
    r.setInteger("ORDEN", static_cast<std::int64_t>(kRecords - n));
    return r;
}

// Appends every record through one opening, append-only or not, and closes it.
void writeAll(const std::filesystem::path& file, bool appendOnly, const std::optional<IndexSpec>& index) {
    Table::create(file, kFields, index, kDate);
    Table t = Table::open(file, OpenMode::Exclusive, Access::ReadWrite);
    t.setUpdateDate(kDate);
    if (appendOnly)
        t.appendOnly();
    for (std::size_t n = 1; n <= kRecords; ++n)
        t.append(recordNumber(n));
    t.close();
}

TEST(AppendOnly, LeavesTheSameFileAndRefusesToReadWhatHasGoneToIt) {
    ScratchFolder dir;
    writeAll(dir / "KEPT.DBF", false, std::nullopt);
    writeAll(dir / "ONLY.DBF", true, std::nullopt);
    EXPECT_EQ(pontrel::testing::readBytes(dir / "ONLY.DBF"), pontrel::testing::readBytes(dir / "KEPT.DBF"));

    Table::create(dir / "OPEN.DBF", kFields, std::nullopt, kDate);
    Table t = Table::open(dir / "OPEN.DBF", OpenMode::Exclusive, Access::ReadWrite);
    t.appendOnly();
    for (std::size_t n = 1; n <= kRecords; ++n)
        t.append(recordNumber(n));
    ASSERT_EQ(t.recordCount(), kRecords);
    // The last records are still to be written: they read as appended.
    EXPECT_EQ(t.text(kRecords - 1, "COD"), "R3000");
    // The first went to the file with the first batch.
    const std::string reading = dbftest::errorOf([&] { (void)t.text(0, "COD"); });
    EXPECT_NE(reading.find("el registro 1 ya se ha escrito en el archivo"), std::string::npos) << reading;
    const std::string lookup = dbftest::errorOf([&] {
        (void)t.locate({{"COD", Value{std::string("R3000")}}});
    });
    EXPECT_NE(lookup.find("ya se ha escrito en el archivo"), std::string::npos) << lookup;
    RecordBuffer change;
    change.setText("COD", "X");
    const std::string update = dbftest::errorOf([&] { t.update(0, change); });
    EXPECT_NE(update.find("el registro 1 ya se ha escrito en el archivo"), std::string::npos) << update;
    t.close();

    Table reopened = Table::open(dir / "OPEN.DBF", OpenMode::Shared);
    ASSERT_EQ(reopened.recordCount(), kRecords);
    EXPECT_EQ(reopened.text(0, "COD"), "R1");
    EXPECT_EQ(reopened.text(kRecords - 1, "COD"), "R3000");
}

TEST(AppendOnly, KeepsEveryRecordWhereTheIndexIsRebuiltFromThem) {
    ScratchFolder dir;
    // The index is rebuilt from every record at close: the file and its index are those of any opening.
    // (The index names its table: both are T, in folders of their own.)
    std::filesystem::create_directories(dir / "kept");
    std::filesystem::create_directories(dir / "only");
    writeAll(dir / "kept" / "T.DBF", false, IndexSpec{"ORDEN", "ORDEN"});
    writeAll(dir / "only" / "T.DBF", true, IndexSpec{"ORDEN", "ORDEN"});
    for (const char* file : {"T.DBF", "T.MDX"})
        EXPECT_EQ(pontrel::testing::readBytes(dir / "only" / file),
                  pontrel::testing::readBytes(dir / "kept" / file))
            << file;
}

TEST(AppendOnly, ALookupMadeBeforeRecordsGoKeepsFindingThem) {
    ScratchFolder dir;
    Table::create(dir / "LOOKUP.DBF", kFields, std::nullopt, kDate);
    Table t = Table::open(dir / "LOOKUP.DBF", OpenMode::Exclusive, Access::ReadWrite);
    t.appendOnly();
    EXPECT_FALSE(t.locate({{"COD", Value{std::string("R1")}}}));
    for (std::size_t n = 1; n <= kRecords; ++n)
        t.append(recordNumber(n));
    // Its keys were taken as the records were appended: the first, long gone to the file, is found.
    EXPECT_EQ(t.locate({{"COD", Value{std::string("R1")}}}), std::optional<std::size_t>(0));
    EXPECT_EQ(t.locate({{"COD", Value{std::string("R3000")}}}), std::optional<std::size_t>(kRecords - 1));
    EXPECT_FALSE(t.locate({{"COD", Value{std::string("R3001")}}}));
    // What it holds is no longer in memory; nor can a lookup of other fields be built now.
    const std::string reading = dbftest::errorOf([&] { (void)t.text(0, "TEXTO"); });
    EXPECT_NE(reading.find("el registro 1 ya se ha escrito en el archivo"), std::string::npos) << reading;
    const std::string other = dbftest::errorOf([&] { (void)t.locate({{"ORDEN", Value{std::int64_t{1}}}}); });
    EXPECT_NE(other.find("ya se ha escrito en el archivo"), std::string::npos) << other;
    t.close();
    EXPECT_EQ(Table::open(dir / "LOOKUP.DBF", OpenMode::Shared).recordCount(), kRecords);
}

} // namespace
