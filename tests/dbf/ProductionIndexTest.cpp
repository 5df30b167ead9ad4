// The production index: the .MDX file is parsed here on its own (not with the engine's reader) and
// its tree checked against the table's ORDEN values.

#include "DbfTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>

using namespace pontrel::dbf;
using pontrel::testing::le16;
using pontrel::testing::le32;
using pontrel::testing::ScratchFolder;

namespace {

const std::vector<FieldSpec> kFields = {{"NOMBRE", 'C', 20}, {"ORDEN", 'I'}, {"HORAINI", 'C', 5}};
const IndexSpec kIndex{"ORDEN", "ORDEN"};
// The file header and room for 48 tag entries of 43 bytes (2,576 bytes), in whole 1024-byte blocks.
constexpr std::uint32_t kHeaderRegionPages = 6;

struct Entry {
    std::uint32_t record; // from 1
    std::vector<std::uint8_t> key;
};

struct ParsedIndex {
    std::string tagName, expression;
    char keyType = 0;
    int keyLength = 0;
    std::vector<Entry> leaves; // in tree order
    int depth = 0;
};

// Walks one node; returns the subtree's highest key. Checks that every leaf is at the same depth
// and that an inner entry carries its child's highest key.
std::vector<std::uint8_t> walk(const std::vector<std::uint8_t>& f, std::uint32_t page,
                               std::size_t entryLength, int keyLength, int level, ParsedIndex& out) {
    const std::size_t at = page * 512u;
    EXPECT_LE(at + 1024, f.size()) << "node page " << page;
    if (at + 1024 > f.size() || level > 10)
        return {};
    const std::uint32_t count = le32(f, at);
    const std::size_t slots = (1024 - 8) / entryLength;
    EXPECT_LT(count, slots);
    auto entry = [&](std::size_t i) { return at + 8 + i * entryLength; };
    auto keyAt = [&](std::size_t i) {
        return std::vector<std::uint8_t>(f.begin() + static_cast<std::ptrdiff_t>(entry(i) + 4),
                                         f.begin() + static_cast<std::ptrdiff_t>(entry(i) + 4 + keyLength));
    };
    const std::uint32_t after = le32(f, entry(count));
    if (after == 0) { // leaf
        if (out.depth == 0)
            out.depth = level;
        EXPECT_EQ(level, out.depth) << "unbalanced tree at page " << page;
        for (std::size_t i = 0; i < count; ++i)
            out.leaves.push_back(Entry{le32(f, entry(i)), keyAt(i)});
        return count ? keyAt(count - 1) : std::vector<std::uint8_t>{};
    }
    std::vector<std::uint8_t> highest;
    for (std::size_t i = 0; i <= count; ++i) {
        highest = walk(f, le32(f, entry(i)), entryLength, keyLength, level + 1, out);
        if (i < count) {
            EXPECT_EQ(keyAt(i), highest) << "inner entry " << i << " of page " << page;
        }
    }
    return highest;
}

ParsedIndex parseMdx(const std::filesystem::path& file) {
    const auto f = pontrel::testing::readBytes(file);
    ParsedIndex out;
    EXPECT_GE(f.size(), 2048u);
    if (f.size() < 2048)
        return out;
    EXPECT_EQ(f[0], 3) << "level-7 index";
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&f[4]), 16),
              std::string("DIASHORA\0\0\0\0\0\0\0\0", 16))
        << "table name cut to 8 characters";
    EXPECT_EQ(f[31], 0x57) << "language id of DBWINUS0";
    EXPECT_EQ(le32(f, 36), 0u) << "no freed blocks";
    EXPECT_EQ(le16(f, 20), 2) << "pages per block";
    EXPECT_EQ(le16(f, 22), 1024) << "block size";
    EXPECT_EQ(f[24], 1) << "production index";
    EXPECT_EQ(f[26], 43) << "level-7 tag entry size";
    EXPECT_EQ(le16(f, 28), 1) << "one tag";
    EXPECT_EQ(f[529], 1);
    EXPECT_EQ(le32(f, 32) * 512u, f.size()) << "file size in pages";
    const std::size_t tag = 512 + 43;
    const std::uint32_t headerPage = le32(f, tag);
    EXPECT_GE(headerPage, kHeaderRegionPages) << "tag header past the header region";
    out.tagName = reinterpret_cast<const char*>(&f[tag + 4]);
    out.keyType = static_cast<char>(f[tag + 42]);
    EXPECT_EQ(f[tag + 37], 0x10) << "key on a plain field";
    const std::size_t h = headerPage * 512u;
    EXPECT_LE(h + 1024, f.size());
    if (h + 1024 > f.size())
        return out;
    out.keyLength = le16(f, h + 12);
    const std::size_t entryLength = le16(f, h + 18);
    EXPECT_EQ(entryLength, (out.keyLength + 4 + 3) / 4 * 4);
    EXPECT_EQ(le16(f, h + 14), (1024 - 8) / entryLength) << "keys per node";
    EXPECT_EQ(f[h + 8] & 0x08, 0) << "ascending";
    EXPECT_EQ(f[h + 8] & 0x40, 0) << "duplicates allowed";
    EXPECT_EQ(f[h + 9], 'I');
    EXPECT_EQ(f[h + 20], 4) << "tag version";
    EXPECT_GT(le32(f, h), headerPage) << "the tree after its tag header";
    out.expression = reinterpret_cast<const char*>(&f[h + 24]);
    walk(f, le32(f, h), entryLength, out.keyLength, 1, out);
    return out;
}

// The level-7 stored form of an integer, which is the key.
std::vector<std::uint8_t> keyOf(std::optional<std::int32_t> v) {
    if (!v)
        return {0, 0, 0, 0};
    const std::uint32_t u = static_cast<std::uint32_t>(*v) ^ 0x80000000u;
    return {static_cast<std::uint8_t>(u >> 24), static_cast<std::uint8_t>(u >> 16),
            static_cast<std::uint8_t>(u >> 8), static_cast<std::uint8_t>(u)};
}

// Expected entries: keys ascending, equal keys in record order (NULL has the lowest key).
std::vector<Entry> expectedEntries(const std::vector<std::optional<std::int32_t>>& orden) {
    std::vector<Entry> e;
    for (std::size_t i = 0; i < orden.size(); ++i)
        e.push_back(Entry{static_cast<std::uint32_t>(i + 1), keyOf(orden[i])});
    std::stable_sort(e.begin(), e.end(), [](const Entry& a, const Entry& b) { return a.key < b.key; });
    return e;
}

void expectIndexMatches(const std::filesystem::path& mdx,
                        const std::vector<std::optional<std::int32_t>>& orden, int minimumDepth) {
    const ParsedIndex parsed = parseMdx(mdx);
    EXPECT_EQ(parsed.tagName, "ORDEN");
    EXPECT_EQ(parsed.expression, "ORDEN");
    EXPECT_EQ(parsed.keyType, 'I');
    EXPECT_EQ(parsed.keyLength, 4);
    EXPECT_GE(parsed.depth, minimumDepth);
    const auto expected = expectedEntries(orden);
    ASSERT_EQ(parsed.leaves.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        ASSERT_EQ(parsed.leaves[i].record, expected[i].record) << "entry " << i;
        ASSERT_EQ(parsed.leaves[i].key, expected[i].key) << "entry " << i;
    }
}

std::vector<std::size_t> expectedOrder(const std::vector<std::optional<std::int32_t>>& orden) {
    std::vector<std::size_t> order;
    for (const Entry& e : expectedEntries(orden))
        order.push_back(e.record - 1);
    return order;
}

void appendAll(Table& t, const std::vector<std::optional<std::int32_t>>& orden, std::size_t from = 0) {
    for (std::size_t i = from; i < orden.size(); ++i) {
        RecordBuffer b;
        b.setText("NOMBRE", "T" + std::to_string(i));
        if (orden[i])
            b.setInteger("ORDEN", *orden[i]);
        t.append(b);
    }
}

TEST(ProductionIndex, CreateWritesTheIndexAndItsFlags) {
    ScratchFolder dir;
    const auto file = dir / "DIASHORAST2.DBF";
    Table::create(file, kFields, kIndex);
    const auto b = pontrel::testing::readBytes(file);
    EXPECT_EQ(b[28], 1) << "table header: production index";
    EXPECT_EQ(b[68 + 48 + 37], 1) << "ORDEN descriptor: has a tag";
    EXPECT_EQ(b[68 + 37], 0) << "NOMBRE descriptor: no tag";
    EXPECT_EQ(b[68 + 2 * 48 + 37], 0);
    ASSERT_TRUE(std::filesystem::exists(dir / "DIASHORAST2.MDX"));
    expectIndexMatches(dir / "DIASHORAST2.MDX", {}, 1);
    Table t = Table::open(file, OpenMode::Shared);
    EXPECT_TRUE(t.indexOrder("ORDEN").empty());
}

TEST(ProductionIndex, KeysInTreeOrderAreTheSortedOrdenValues) {
    struct Case {
        const char* what;
        std::size_t records;
        int minimumDepth;
    };
    // 126 keys fit in one leaf; past 126·127 the tree needs a third level.
    const std::vector<Case> cases = {{"a few", 7, 1},
                                     {"one full leaf", 126, 1},
                                     {"several thousand", 5000, 2},
                                     {"three levels", 17000, 3}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ScratchFolder dir;
        const auto file = dir / "DIASHORAST2.DBF";
        Table::create(file, kFields, kIndex);
        std::mt19937 random(static_cast<unsigned>(c.records));
        std::uniform_int_distribution<int> value(-40, static_cast<int>(c.records / 3) + 1);
        std::vector<std::optional<std::int32_t>> orden;
        for (std::size_t i = 0; i < c.records; ++i)
            orden.push_back(i % 11 == 5 ? std::nullopt : std::optional<std::int32_t>(value(random)));
        if (c.records == 7)
            orden = {3, 1, std::nullopt, 3, -2, 1, 2147483647};
        {
            Table t = Table::open(file, OpenMode::Shared, Access::ReadWrite);
            appendAll(t, orden);
            // Before close the order comes from the records themselves.
            EXPECT_EQ(t.indexOrder("orden"), expectedOrder(orden));
        }
        expectIndexMatches(dir / "DIASHORAST2.MDX", orden, c.minimumDepth);
        // After reopening it is read through the index's tree.
        Table t = Table::open(file, OpenMode::Shared);
        EXPECT_EQ(t.indexOrder("ORDEN"), expectedOrder(orden));
    }
}

TEST(ProductionIndex, StaysRightAcrossOpeningsAndUpdates) {
    ScratchFolder dir;
    const auto file = dir / "DIASHORAST2.DBF";
    Table::create(file, kFields, kIndex);
    std::vector<std::optional<std::int32_t>> orden = {5, 4, 3};
    {
        Table t = Table::open(file, OpenMode::Shared, Access::ReadWrite);
        appendAll(t, orden);
    }
    orden.insert(orden.end(), {1, 5, 0});
    {
        Table t = Table::open(file, OpenMode::Shared, Access::ReadWrite);
        appendAll(t, orden, 3);
        RecordBuffer b;
        b.setInteger("ORDEN", 9);
        t.update(1, b);
        orden[1] = 9;
        EXPECT_EQ(t.indexOrder("ORDEN"), expectedOrder(orden));
    }
    expectIndexMatches(dir / "DIASHORAST2.MDX", orden, 1);
    {
        // An update of a field outside the key leaves the index as it is and still right.
        Table t = Table::open(file, OpenMode::Shared, Access::ReadWrite);
        RecordBuffer b;
        b.setText("HORAINI", "08:00");
        t.update(0, b);
    }
    expectIndexMatches(dir / "DIASHORAST2.MDX", orden, 1);
    Table t = Table::open(file, OpenMode::Shared);
    EXPECT_EQ(t.indexOrder("ORDEN"), (std::vector<std::size_t>{5, 3, 2, 0, 4, 1}));
}

TEST(ProductionIndex, TheTreeSurvivesAnotherEngineWritingBackItsCachedHeaderRegion) {
    // Another engine reads the header region (file header and the 48 tag slots: pages 0-5) when it
    // opens the table and writes it back whole, with its own page count, when that count changes.
    // Nothing that moves on its own, like the tag header naming the root, may lie in that region.
    ScratchFolder dir;
    const auto file = dir / "DIASHORAST2.DBF";
    const auto index = dir / "DIASHORAST2.MDX";
    Table::create(file, kFields, kIndex);
    std::vector<std::optional<std::int32_t>> orden = {3, 1, 2};
    {
        Table t = Table::open(file, OpenMode::Exclusive, Access::ReadWrite);
        appendAll(t, orden);
    }
    const auto atOpening = pontrel::testing::readBytes(index);
    ASSERT_GE(atOpening.size(), kHeaderRegionPages * 512u);
    for (int i = 0; i < 400; ++i)
        orden.push_back((i * 37) % 101 - 50);
    {
        Table t = Table::open(file, OpenMode::Exclusive, Access::ReadWrite);
        appendAll(t, orden, 3);
    }
    auto written = pontrel::testing::readBytes(index);
    const std::uint32_t pages = le32(written, 32);
    std::copy_n(atOpening.begin(), kHeaderRegionPages * 512u, written.begin());
    pontrel::testing::putLe32(written, 32, pages);
    pontrel::testing::writeFile(index, written);

    expectIndexMatches(index, orden, 2);
    Table t = Table::open(file, OpenMode::Shared);
    EXPECT_EQ(t.indexOrder("ORDEN"), expectedOrder(orden));
}

TEST(ProductionIndex, IndexWithItsTagHeaderInsideTheHeaderRegionStillReads) {
    // Indexes written by earlier versions have the tag header at page 4 and the tree from page 6.
    // The fixture is such an index for these 8 records; a change of keys rewrites it laid out anew.
    ScratchFolder dir;
    const auto file = dir / "DIASHORAST2.DBF";
    Table::create(file, {{"CODDIHO", 'C', 10}, {"DIA", 'C', 20}, {"ORDEN", 'I'}}, kIndex);
    std::vector<std::optional<std::int32_t>> orden = {590, 480, 535, 480, 765, 0, -5, 535};
    {
        Table t = Table::open(file, OpenMode::Exclusive, Access::ReadWrite);
        for (const auto& v : orden) {
            RecordBuffer b;
            b.setInteger("ORDEN", *v);
            t.append(b);
        }
    }
    const auto fixture = pontrel::testing::readBytes(std::filesystem::path(PONTREL_TEST_DATA_DIR) / "dbf" /
                                                     "orden-etiqueta-en-pagina-4.mdx");
    ASSERT_EQ(le32(fixture, 512 + 43), 4u) << "the fixture has its tag header at page 4";
    pontrel::testing::writeFile(dir / "DIASHORAST2.MDX", fixture);
    {
        Table t = Table::open(file, OpenMode::Shared, Access::ReadWrite);
        EXPECT_EQ(t.indexOrder("ORDEN"), expectedOrder(orden));
        RecordBuffer b;
        b.setInteger("ORDEN", -7);
        t.update(2, b);
        orden[2] = -7;
    }
    expectIndexMatches(dir / "DIASHORAST2.MDX", orden, 1);
    Table t = Table::open(file, OpenMode::Shared);
    EXPECT_EQ(t.indexOrder("ORDEN"), expectedOrder(orden));
}

// On a case-insensitive file system (Windows) the two spellings are one file.
#ifndef _WIN32
TEST(ProductionIndex, IndexFileNamedInAnotherLetterCaseIsFoundAndKept) {
    // Programs under Wine may leave diashorast2.mdx beside DIASHORAST2.DBF.
    ScratchFolder dir;
    const auto file = dir / "DIASHORAST2.DBF";
    Table::create(file, kFields, kIndex);
    std::filesystem::rename(dir / "DIASHORAST2.MDX", dir / "diashorast2.mdx");
    std::vector<std::optional<std::int32_t>> orden = {2, 1};
    {
        Table t = Table::open(file, OpenMode::Shared, Access::ReadWrite);
        appendAll(t, orden);
    }
    EXPECT_FALSE(std::filesystem::exists(dir / "DIASHORAST2.MDX")) << "no second index beside the first";
    expectIndexMatches(dir / "diashorast2.mdx", orden, 1);
    Table t = Table::open(file, OpenMode::Shared);
    EXPECT_EQ(t.indexOrder("ORDEN"), (std::vector<std::size_t>{1, 0}));
}
#endif

TEST(ProductionIndex, ErrorsNameTheTableAndTheProblem) {
    ScratchFolder dir;
    EXPECT_NE(dbftest::errorOf([&] {
                  Table::create(dir / "A.DBF", kFields, IndexSpec{"NOMBRE", "NOMBRE"});
              }).find("entero"),
              std::string::npos);
    EXPECT_NE(dbftest::errorOf([&] {
                  Table::create(dir / "B.DBF", kFields, IndexSpec{"X", "NADA"});
              }).find("NADA"),
              std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(dir / "A.DBF"));
    EXPECT_FALSE(std::filesystem::exists(dir / "B.MDX"));

    Table::create(dir / "SIN.DBF", kFields);
    EXPECT_FALSE(std::filesystem::exists(dir / "SIN.MDX"));
    Table plain = Table::open(dir / "SIN.DBF", OpenMode::Shared);
    EXPECT_NE(dbftest::errorOf([&] { plain.indexOrder("ORDEN"); }).find("SIN.DBF"), std::string::npos);

    Table::create(dir / "CONINDICE.DBF", kFields, kIndex);
    Table indexed = Table::open(dir / "CONINDICE.DBF", OpenMode::Shared);
    EXPECT_NE(dbftest::errorOf([&] { indexed.indexOrder("OTRA"); }).find("OTRA"), std::string::npos);
}

TEST(ProductionIndex, ADamagedIndexGivesAnErrorNotACrash) {
    ScratchFolder dir;
    const auto file = dir / "DIASHORAST2.DBF";
    Table::create(file, kFields, kIndex);
    {
        Table t = Table::open(file, OpenMode::Shared, Access::ReadWrite);
        std::vector<std::optional<std::int32_t>> orden(300, 1);
        appendAll(t, orden);
    }
    const auto good = pontrel::testing::readBytes(dir / "DIASHORAST2.MDX");
    const std::uint32_t headerPage = le32(good, 512 + 43);
    const std::uint32_t root = le32(good, headerPage * 512);
    struct Damage {
        const char* what;
        std::size_t at;
        std::uint32_t value;
    };
    const std::vector<Damage> damages = {
        {"root past the end", headerPage * 512u, 999999},
        {"root pointing at itself", root * 512u + 8, root},
        {"entry count too large", root * 512u, 5000},
        {"tag header past the end", 512 + 43, 123456},
    };
    for (const Damage& d : damages) {
        SCOPED_TRACE(d.what);
        auto bytes = good;
        pontrel::testing::putLe32(bytes, d.at, d.value);
        pontrel::testing::writeFile(dir / "DIASHORAST2.MDX", bytes);
        Table t = Table::open(file, OpenMode::Shared);
        EXPECT_EQ(t.recordCount(), 300u) << "the table itself stays readable";
        EXPECT_NE(dbftest::errorOf([&] { t.indexOrder("ORDEN"); }).find("DIASHORAST2.MDX"),
                  std::string::npos);
    }
}

} // namespace
