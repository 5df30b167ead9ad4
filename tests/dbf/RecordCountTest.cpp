// A table holding more records than its header counts: an engine that updates the count lazily, or
// that stopped half-way through an append, leaves one. Every whole record is read, as other dBase
// engines read them, and the table says how many its header left out.

#include "DbfTestSupport.h"

#include <gtest/gtest.h>

#include <functional>

using namespace pontrel::dbf;
using pontrel::testing::ScratchFolder;

namespace {

using Bytes = std::vector<std::uint8_t>;
using pontrel::testing::le16;
using pontrel::testing::le32;
using pontrel::testing::putLe32;

// Five records R1..R5 of one C(3) field, the third deleted if asked, as this engine writes them.
Bytes fiveRecords(const std::filesystem::path& file, bool deleteThird = false) {
    Table::create(file, {{"COD", 'C', 3}});
    {
        Table t = Table::open(file, OpenMode::Exclusive, Access::ReadWrite);
        for (const char* code : {"R1", "R2", "R3", "R4", "R5"}) {
            RecordBuffer r;
            r.setText("COD", code);
            t.append(r);
        }
    }
    Bytes b = pontrel::testing::readBytes(file);
    if (deleteThird)
        b[le16(b, 8) + 2 * le16(b, 10)] = '*';
    return b;
}

std::vector<std::string> codes(const Table& t) {
    std::vector<std::string> all;
    for (std::size_t r = 0; r < t.recordCount(); ++r)
        all.push_back(t.text(r, "COD"));
    return all;
}

TEST(RecordCount, WholeRecordsPastTheHeaderCountAreRead) {
    const std::vector<std::string> all = {"R1", "R2", "R3", "R4", "R5"};
    struct Case {
        const char* what;
        std::function<void(Bytes&, std::size_t header, std::size_t length)> change;
        bool deleteThird;
        std::vector<std::string> read;
        std::size_t beyond;
    };
    const std::vector<Case> cases = {
        {"sound table", [](Bytes&, std::size_t, std::size_t) {}, false, all, 0},
        {"header counts 3 of 5", [](Bytes& b, std::size_t, std::size_t) { putLe32(b, 4, 3); }, false, all, 2},
        {"header counts none", [](Bytes& b, std::size_t, std::size_t) { putLe32(b, 4, 0); }, false, all, 5},
        {"a deleted record past the count",
         [](Bytes& b, std::size_t, std::size_t) { putLe32(b, 4, 1); },
         true,
         {"R1", "R2", "R4", "R5"},
         4},
        {"append stopped half-way through the fifth record, no end mark",
         [](Bytes& b, std::size_t header, std::size_t length) {
             putLe32(b, 4, 3);
             b.resize(header + 4 * length + 2);
         },
         false,
         {"R1", "R2", "R3", "R4"},
         1},
        {"end mark, then bytes that are no record",
         [](Bytes& b, std::size_t, std::size_t length) { b.insert(b.end(), 2 * length, ' '); }, false, all,
         0},
    };
    ScratchFolder dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const auto file = dir / "SOLUC.DBF";
        std::filesystem::remove(file);
        Bytes b = fiveRecords(file, c.deleteThird);
        c.change(b, le16(b, 8), le16(b, 10));
        pontrel::testing::writeFile(file, b);
        Table t = Table::open(file, OpenMode::Shared);
        EXPECT_EQ(codes(t), c.read);
        EXPECT_EQ(t.recordsBeyondHeaderCount(), c.beyond);
        EXPECT_EQ(t.headerRecordCount(), le32(b, 4));
    }
}

TEST(RecordCount, AChangeBringsTheHeaderCountUpToDate) {
    ScratchFolder dir;
    const auto file = dir / "PROFT.DBF";
    Bytes b = fiveRecords(file);
    putLe32(b, 4, 3);
    pontrel::testing::writeFile(file, b);
    {
        Table t = Table::open(file, OpenMode::Shared, Access::ReadWrite);
        RecordBuffer r;
        r.setText("COD", "X5");
        t.update(4, r); // a record the header did not count
        RecordBuffer added;
        added.setText("COD", "R6");
        t.append(added); // goes after the last record, not over the fourth
    }
    Table t = Table::open(file, OpenMode::Shared);
    EXPECT_EQ(codes(t), (std::vector<std::string>{"R1", "R2", "R3", "R4", "X5", "R6"}));
    EXPECT_EQ(t.recordsBeyondHeaderCount(), 0u);
    EXPECT_EQ(t.headerRecordCount(), 6u);
}

} // namespace
