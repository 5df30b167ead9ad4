// Tables written by other programs: dBase III, IV and level 7 by dBase itself, and Visual FoxPro
// (tests/data/dbf/other-writers), plus small variants of them made here for deleted records and FoxPro NULLs.

#include "DbfTestSupport.h"

#include <gtest/gtest.h>

using namespace pontrel::dbf;
using dbftest::otherWriterFixture;
using pontrel::testing::ScratchFolder;

namespace {

// The fixtures belong to the repository: a missing one is a failure, never a skipped test.
#define REQUIRE_FIXTURE(name)                                                                                \
    ASSERT_TRUE(std::filesystem::is_regular_file(otherWriterFixture(name)))                                  \
        << "fixture " << otherWriterFixture(name) << " is missing from the repository"

std::vector<std::string> fieldNames(const Table& t) {
    std::vector<std::string> names;
    for (const auto& f : t.fields())
        names.push_back(f.name + ":" + f.type);
    return names;
}

TEST(OtherWriters, DBaseIIIWithNumbersDatesAndLogicals) {
    REQUIRE_FIXTURE("dbase_03.dbf");
    Table t = Table::open(otherWriterFixture("dbase_03.dbf"), OpenMode::Shared);
    EXPECT_EQ(t.recordCount(), 14u);
    ASSERT_EQ(t.fields().size(), 31u);
    EXPECT_EQ(t.fields()[10].name, "Max_PDOP");
    EXPECT_EQ(t.fields()[10].width, 5);
    EXPECT_EQ(t.fields()[10].decimals, 1);
    EXPECT_EQ(t.value(0, "Point_ID"), Value(std::string("0507121"))) << "the first of two fields so named";
    EXPECT_EQ(t.value(0, "Date_Visit"), Value(std::string("20050712")));
    EXPECT_EQ(t.value(0, "Max_PDOP"), Value(5.2));
    EXPECT_EQ(t.text(0, "Max_PDOP"), "5.2");
    EXPECT_EQ(t.value(0, "Unfilt_Pos"), Value(std::int64_t{2})) << "N without decimals reads as an integer";
    EXPECT_EQ(t.value(0, "GPS_Second"), Value(226625.0));
    EXPECT_EQ(t.value(0, 30), Value(std::int64_t{401})) << "the second Point_ID, by position";
    EXPECT_EQ(t.value(1, "Std_Dev"), Value()) << "blank number is NULL";
    EXPECT_EQ(t.text(0, "Non_circul"), "");
    EXPECT_EQ(t.number(0, "Northing"), 557904.898);
    EXPECT_EQ(t.integer(0, "GPS_Week"), 1331);
}

TEST(OtherWriters, VisualFoxProWithLittleEndianIntegersAndCurrency) {
    REQUIRE_FIXTURE("dbase_31.dbf");
    Table t = Table::open(otherWriterFixture("dbase_31.dbf"), OpenMode::Shared);
    EXPECT_EQ(t.recordCount(), 77u);
    EXPECT_EQ(fieldNames(t),
              (std::vector<std::string>{"PRODUCTID:I", "PRODUCTNAM:C", "SUPPLIERID:I", "CATEGORYID:I",
                                        "QUANTITYPE:C", "UNITPRICE:Y", "UNITSINSTO:I", "UNITSONORD:I",
                                        "REORDERLEV:I", "DISCONTINU:L"}))
        << "the _NullFlags system column is not a field of the table";
    EXPECT_EQ(t.value(0, "PRODUCTID"), Value(std::int64_t{1}));
    EXPECT_EQ(t.value(0, "PRODUCTNAM"), Value(std::string("Chai")));
    EXPECT_EQ(t.value(0, "UNITSINSTO"), Value(std::int64_t{39}));
    EXPECT_EQ(t.value(0, "UNITPRICE"), Value(18.0));
    EXPECT_EQ(t.value(0, "DISCONTINU"), Value(false));
    EXPECT_EQ(t.value(76, "PRODUCTID"), Value(std::int64_t{77}));
    EXPECT_EQ(t.locate({{"PRODUCTNAM", std::string("Chang")}}), 1u);
}

TEST(OtherWriters, FoxProNullFlagsMarkNullFields) {
    REQUIRE_FIXTURE("dbase_31.dbf");
    ScratchFolder dir;
    auto bytes = pontrel::testing::readBytes(otherWriterFixture("dbase_31.dbf"));
    const std::size_t headerLength = pontrel::testing::le16(bytes, 8),
                      recordLength = pontrel::testing::le16(bytes, 10);
    // _NullFlags is the record's last byte; bit 0 belongs to the first nullable field (SUPPLIERID),
    // bit 2 to the third (QUANTITYPE).
    bytes[headerLength + recordLength - 1] = 0x05;
    pontrel::testing::writeFile(dir / "NULOS.DBF", bytes);
    Table t = Table::open(dir / "NULOS.DBF", OpenMode::Shared);
    EXPECT_EQ(t.value(0, "SUPPLIERID"), Value());
    EXPECT_EQ(t.value(0, "CATEGORYID"), Value(std::int64_t{1}));
    EXPECT_EQ(t.value(0, "QUANTITYPE"), Value());
    EXPECT_EQ(t.text(0, "QUANTITYPE"), "");
    EXPECT_EQ(t.value(1, "SUPPLIERID"), Value(std::int64_t{1}));
}

TEST(OtherWriters, DBaseIIIWithMemoReadsMemoAsEmptyText) {
    REQUIRE_FIXTURE("dbase_83.dbf");
    Table t = Table::open(otherWriterFixture("dbase_83.dbf"), OpenMode::Shared);
    EXPECT_EQ(t.recordCount(), 67u);
    EXPECT_EQ(t.value(0, "ID"), Value(std::int64_t{87}));
    EXPECT_EQ(t.value(0, "DESC"), Value(std::string()));
    EXPECT_EQ(t.value(0, "WEIGHT"), Value(5.51));
    EXPECT_EQ(t.value(0, "TAXABLE"), Value(true));
}

TEST(OtherWriters, DBaseIVWithFloatAndMemo) {
    REQUIRE_FIXTURE("dbase_8b.dbf");
    Table t = Table::open(otherWriterFixture("dbase_8b.dbf"), OpenMode::Shared);
    EXPECT_EQ(t.recordCount(), 10u);
    EXPECT_EQ(t.value(0, "CHARACTER"), Value(std::string("One")));
    EXPECT_EQ(t.value(0, "NUMERICAL"), Value(1.0));
    EXPECT_EQ(t.value(0, "DATE"), Value(std::string("19700101")));
    EXPECT_EQ(t.value(0, "LOGICAL"), Value(true)) << "stored as Y";
    EXPECT_EQ(t.value(0, "FLOAT"), Value(1.23456789012346));
    EXPECT_EQ(t.value(0, "MEMO"), Value(std::string()));
}

TEST(OtherWriters, Level7WrittenByDBaseWithPropertiesBlock) {
    REQUIRE_FIXTURE("dbase_8c.dbf");
    Table t = Table::open(otherWriterFixture("dbase_8c.dbf"), OpenMode::Shared);
    EXPECT_EQ(t.recordCount(), 10u);
    EXPECT_EQ(fieldNames(t), (std::vector<std::string>{"ID:+", "Name:C", "Species:C", "Length CM:N",
                                                       "Description:M", "OLE Graphic:G"}));
    EXPECT_EQ(t.value(0, "ID"), Value(std::int64_t{1}));
    EXPECT_EQ(t.value(9, "ID"), Value(std::int64_t{10}));
    EXPECT_EQ(t.value(0, "Name"), Value(std::string("Clown Triggerfish")));
    EXPECT_EQ(t.value(1, "length cm"), Value(228.0));
    EXPECT_EQ(t.value(0, "OLE Graphic"), Value(std::string()));
    // Its header announces a production index that is not among the fixtures.
    EXPECT_FALSE(dbftest::errorOf([&] { t.indexOrder("ID"); }).empty());
}

TEST(OtherWriters, DeletedRecordsAreSkipped) {
    ScratchFolder dir;
    auto bytes = pontrel::testing::readBytes(std::filesystem::path(PONTREL_TEST_DATA_DIR) / "dbf" /
                                             "golden_level7.dbf");
    const std::size_t headerLength = pontrel::testing::le16(bytes, 8),
                      recordLength = pontrel::testing::le16(bytes, 10);
    bytes[headerLength] = '*'; // the first of three records
    pontrel::testing::writeFile(dir / "BORRADO.DBF", bytes);
    Table t = Table::open(dir / "BORRADO.DBF", OpenMode::Shared, Access::ReadWrite);
    ASSERT_EQ(t.recordCount(), 2u);
    EXPECT_EQ(t.text(0, "NOMBRE"), "\xD1u");
    EXPECT_EQ(t.locate({{"ORDEN", std::int64_t{1}}}), std::nullopt) << "a deleted record is never found";
    EXPECT_EQ(t.select("ORDEN", std::int64_t{-1}), (std::vector<std::size_t>{0}));
    RecordBuffer change;
    change.setText("NOMBRE", "nuevo");
    t.update(1, change);
    t.close();
    const auto after = pontrel::testing::readBytes(dir / "BORRADO.DBF");
    EXPECT_EQ(after[headerLength], '*') << "the deleted record stays deleted";
    EXPECT_EQ(std::string(after.begin() + static_cast<std::ptrdiff_t>(headerLength + 2 * recordLength + 1),
                          after.begin() + static_cast<std::ptrdiff_t>(headerLength + 2 * recordLength + 6)),
              "nuevo")
        << "live position 1 is the third stored record";
}

} // namespace
