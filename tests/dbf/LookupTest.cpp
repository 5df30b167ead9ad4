// locate and select give exactly what a scan from the first record gives, while records are
// appended and updated between lookups.

#include "DbfTestSupport.h"

#include <gtest/gtest.h>

#include <random>

using namespace pontrel::dbf;
using pontrel::testing::ScratchFolder;

namespace {

// The scan that the lookups must agree with: text compared as text() gives it, numbers by value.
bool matches(const Table& t, std::size_t record, const std::string& field, const Value& wanted) {
    if (auto* s = std::get_if<std::string>(&wanted)) {
        const auto type = t.fields()[*t.fieldIndex(field)].type;
        if (type == 'C') {
            std::string w = *s;
            while (!w.empty() && w.back() == ' ')
                w.pop_back();
            return t.text(record, field) == w;
        }
    }
    if (auto* i = std::get_if<std::int64_t>(&wanted))
        return t.integer(record, field) == *i;
    if (std::holds_alternative<std::monostate>(wanted))
        return t.text(record, field).empty();
    return t.value(record, field) == wanted;
}

std::optional<std::size_t> scanFirst(const Table& t,
                                     const std::vector<std::pair<std::string, Value>>& equals) {
    for (std::size_t r = 0; r < t.recordCount(); ++r) {
        bool all = true;
        for (const auto& [field, wanted] : equals)
            all = all && matches(t, r, field, wanted);
        if (all)
            return r;
    }
    return std::nullopt;
}

std::vector<std::size_t> scanAll(const Table& t, const std::string& field, const Value& wanted) {
    std::vector<std::size_t> found;
    for (std::size_t r = 0; r < t.recordCount(); ++r)
        if (matches(t, r, field, wanted))
            found.push_back(r);
    return found;
}

TEST(Lookups, AgreeWithAScanWhileTheTableChanges) {
    ScratchFolder dir;
    const auto file = dir / "SOLUC.DBF";
    Table::create(file, {{"PROFESOR", 'C', 10}, {"DIA", 'I'}, {"HORA", 'I'}, {"AULA", 'C', 6}});
    Table t = Table::open(file, OpenMode::Shared, Access::ReadWrite);
    std::mt19937 random(7);
    auto teacher = [&] { return "P" + std::to_string(random() % 12); };
    auto small = [&] { return static_cast<std::int64_t>(random() % 6); };
    auto appendOne = [&] {
        RecordBuffer b;
        b.setText("PROFESOR", teacher());
        if (random() % 7)
            b.setInteger("DIA", small());
        b.setInteger("HORA", small());
        if (random() % 3)
            b.setText("AULA", "A" + std::to_string(random() % 4));
        t.append(b);
    };
    for (int i = 0; i < 200; ++i)
        appendOne();
    for (int round = 0; round < 60; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        const Value who = teacher();
        const Value day = small();
        const Value hour = small();
        const std::vector<std::pair<std::string, Value>> one = {{"PROFESOR", who}};
        const std::vector<std::pair<std::string, Value>> three = {
            {"PROFESOR", who}, {"DIA", day}, {"HORA", hour}};
        EXPECT_EQ(t.locate(one), scanFirst(t, one));
        EXPECT_EQ(t.locate(three), scanFirst(t, three));
        // The same lookups with the fields by position; the maps are the ones built by name.
        EXPECT_EQ(t.locate({0, 1, 2}, {who, day, hour}), scanFirst(t, three));
        EXPECT_EQ(t.locate({2, 0}, {hour, who}), scanFirst(t, {{"HORA", hour}, {"PROFESOR", who}}));
        EXPECT_EQ(t.select("PROFESOR", who), scanAll(t, "PROFESOR", who));
        EXPECT_EQ(t.select("DIA", day), scanAll(t, "DIA", day));
        EXPECT_EQ(t.select("AULA", Value()), scanAll(t, "AULA", Value())) << "blank text is found by NULL";
        EXPECT_EQ(t.select("DIA", Value()), scanAll(t, "DIA", Value()));
        // Change the table between lookups: the maps built above must follow.
        appendOne();
        RecordBuffer change;
        change.setText("PROFESOR", teacher());
        change.setInteger("DIA", small());
        t.update(random() % t.recordCount(), change);
    }
}

TEST(Lookups, ValuesCompareAcrossTypesAsTheFieldReadsThem) {
    ScratchFolder dir;
    const auto file = dir / "MIX.DBF";
    Table::create(file, {{"COD", 'C', 10}, {"N", 'I'}, {"H", 'O'}, {"T", 'L'}});
    Table t = Table::open(file, OpenMode::Shared, Access::ReadWrite);
    const std::vector<std::tuple<const char*, int, double, bool>> rows = {
        {"mat", 3, 1.5, true}, {"MAT", 3, 2.0, false}, {"12", 12, 2.0, true}, {"", 0, 0.0, false}};
    for (const auto& [cod, n, h, tt] : rows) {
        RecordBuffer b;
        b.setText("COD", cod);
        b.setInteger("N", n);
        b.setDouble("H", h);
        b.setBool("T", tt);
        t.append(b);
    }
    struct Query {
        const char* field;
        Value value;
        std::vector<std::size_t> expected;
    };
    const std::vector<Query> queries = {
        {"COD", std::string("MAT"), {1}},   // letter case counts
        {"COD", std::string("mat  "), {0}}, // trailing blanks do not (dBase pads)
        {"COD", std::int64_t{12}, {2}},     // a number sought in text, as its text
        {"N", std::string(" 3"), {0, 1}},   // text sought in a number field, as a number
        {"N", 3.0, {0, 1}},
        {"N", std::string("tres"), {}}, // can equal nothing
        {"H", std::int64_t{2}, {1, 2}},
        {"T", true, {0, 2}},
        {"T", std::string("F"), {1, 3}},
        {"COD", Value(), {3}},
    };
    for (const Query& q : queries) {
        SCOPED_TRACE(std::string(q.field));
        EXPECT_EQ(t.select(q.field, q.value), q.expected);
        const auto first = q.expected.empty() ? std::nullopt : std::optional<std::size_t>(q.expected.front());
        EXPECT_EQ(t.locate({{q.field, q.value}}), first);
        EXPECT_EQ(t.locate({t.requireFieldIndex(q.field)}, {q.value}), first);
    }
    EXPECT_EQ(t.locate({}), 0u);
    EXPECT_EQ(t.locate(std::vector<std::size_t>{}, {}), 0u);
    EXPECT_EQ(t.requireFieldIndex("cod"), 0u) << "letter case does not count in field names";
    EXPECT_FALSE(dbftest::errorOf([&] { t.select("NADA", std::int64_t{1}); }).empty());
    const std::string unknownName = dbftest::errorOf([&] { t.requireFieldIndex("NADA"); });
    EXPECT_NE(unknownName.find("NADA"), std::string::npos) << unknownName;
    EXPECT_FALSE(dbftest::errorOf([&] { t.locate({4}, {std::int64_t{1}}); }).empty()) << "no fifth field";
    EXPECT_FALSE(dbftest::errorOf([&] { t.locate({0, 1}, {Value()}); }).empty()) << "two fields, one value";
}

// Lookups first asked over a table of one record, which then grows to many distinct keys while
// records move between keys: the first, a middle and the last record of a key leave it, a key loses
// all its records and gets them back.
TEST(Lookups, FollowATableThatGrowsFromOneRecordAndKeysThatEmptyAndReturn) {
    ScratchFolder dir;
    const auto file = dir / "CLAVES.DBF";
    Table::create(file, {{"COD", 'C', 8}, {"N", 'I'}});
    Table t = Table::open(file, OpenMode::Shared, Access::ReadWrite);
    auto append = [&](const std::string& cod, std::int64_t n) {
        RecordBuffer b;
        b.setText("COD", cod);
        b.setInteger("N", n);
        t.append(b);
    };
    auto move = [&](std::size_t record, const std::string& cod) {
        RecordBuffer b;
        b.setText("COD", cod);
        t.update(record, b);
    };
    auto agree = [&](const std::string& cod, std::int64_t n) {
        SCOPED_TRACE(cod + "/" + std::to_string(n));
        EXPECT_EQ(t.select("COD", cod), scanAll(t, "COD", cod));
        const std::vector<std::pair<std::string, Value>> both = {{"COD", cod}, {"N", n}};
        EXPECT_EQ(t.locate(both), scanFirst(t, both));
    };
    append("K0", 0);
    agree("K0", 0); // both indexes are built over one record

    std::mt19937 random(11);
    for (int i = 1; i < 1500; ++i) {
        append("K" + std::to_string(random() % 700), i % 3);
        if (i % 5 == 0)
            move(random() % t.recordCount(), "K" + std::to_string(random() % 700));
        if (i % 250 == 0)
            for (int k = 0; k < 25; ++k)
                agree("K" + std::to_string(random() % 700), k % 3);
    }

    // One key's records: first, middle and last leave in turn, then all; then they come back.
    append("Z", 1);
    append("Z", 2);
    append("Z", 1);
    append("Z", 2);
    const std::vector<std::size_t> zs = t.select("COD", std::string("Z"));
    ASSERT_EQ(zs.size(), 4u);
    const std::vector<std::size_t> leaving = {zs[0], zs[2], zs[3], zs[1]};
    for (std::size_t record : leaving) {
        move(record, "Y");
        agree("Z", 1);
        agree("Z", 2);
        agree("Y", 1);
    }
    EXPECT_TRUE(t.select("COD", std::string("Z")).empty());
    EXPECT_EQ(t.locate({{"COD", std::string("Z")}}), std::nullopt);
    for (auto it = leaving.rbegin(); it != leaving.rend(); ++it) {
        move(*it, "Z");
        agree("Z", 1);
        agree("Z", 2);
        agree("Y", 2);
    }
    EXPECT_EQ(t.select("COD", std::string("Z")), zs);
}

} // namespace
