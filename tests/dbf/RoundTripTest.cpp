// Writing level-7 tables and reading them back: every type, NULLs, text cut to width, updates in
// place, and tables reopened after close.

#include "DbfTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace pontrel::dbf;
using pontrel::testing::ScratchFolder;

namespace {

const std::vector<FieldSpec> kAllTypes = {
    {"NOMBRE", 'C', 12}, {"INICIAL", 'C', 1}, {"ORDEN", 'I'},
    {"ESTAREA", 'L'},    {"HORAS", 'O'},      {"OFERTAMATRI", 'C', 10},
};

struct Row {
    Value nombre, inicial, orden, estarea, horas, oferta;
};

RecordBuffer bufferFor(const Row& row) {
    RecordBuffer b;
    auto put = [&](const char* field, const Value& v) {
        if (auto* s = std::get_if<std::string>(&v))
            b.setText(field, *s);
        else if (auto* i = std::get_if<std::int64_t>(&v))
            b.setInteger(field, *i);
        else if (auto* d = std::get_if<double>(&v))
            b.setDouble(field, *d);
        else if (auto* x = std::get_if<bool>(&v))
            b.setBool(field, *x);
        // monostate: left unassigned, which must read as NULL
    };
    put("NOMBRE", row.nombre);
    put("INICIAL", row.inicial);
    put("ORDEN", row.orden);
    put("ESTAREA", row.estarea);
    put("HORAS", row.horas);
    put("OFERTAMATRI", row.oferta);
    return b;
}

TEST(RoundTrip, EveryTypeAndNullReadsBackAsWritten) {
    ScratchFolder dir;
    const auto file = dir / "TODO.DBF";
    Table::create(file, kAllTypes);
    const double tiny = std::numeric_limits<double>::denorm_min();
    // Each row stresses a different corner of the stored encodings.
    const std::vector<Row> rows = {
        {std::string("Matem\xE1ticas"), std::string("M"), std::int64_t{1}, true, 1.5, std::string("1ESO")},
        {std::string("\xD1"
                     "AND\xDA \x80"),
         std::string("x"), std::int64_t{-1}, false, -2.25, std::string("")},
        {{}, {}, {}, {}, {}, {}},
        {std::string("  lead"), {}, std::int64_t{0}, {}, 0.0, {}},
        {std::string("max"), {}, std::int64_t{2147483647}, true, 1e300, {}},
        {std::string("min"), {}, std::int64_t{-2147483647LL}, false, -tiny, {}},
    };
    {
        Table t = Table::open(file, OpenMode::Shared, Access::ReadWrite);
        for (std::size_t i = 0; i < rows.size(); ++i)
            EXPECT_EQ(t.append(bufferFor(rows[i])), i);
        // Read back before close too: the open table answers from what it holds.
        EXPECT_EQ(t.recordCount(), rows.size());
        EXPECT_EQ(t.integer(1, "orden"), -1);
    }
    Table t = Table::open(file, OpenMode::Shared);
    ASSERT_EQ(t.recordCount(), rows.size());
    for (std::size_t i = 0; i < rows.size(); ++i) {
        SCOPED_TRACE("record " + std::to_string(i));
        const Row& r = rows[i];
        // A text field never reads as NULL: dBase pads it with blanks.
        auto textOr = [](const Value& v) {
            return std::holds_alternative<std::monostate>(v) ? Value(std::string()) : v;
        };
        auto trimmedRight = [](Value v) {
            if (auto* s = std::get_if<std::string>(&v))
                while (!s->empty() && s->back() == ' ')
                    s->pop_back();
            return v;
        };
        EXPECT_EQ(t.value(i, "NOMBRE"), trimmedRight(textOr(r.nombre)));
        EXPECT_EQ(t.value(i, "INICIAL"), textOr(r.inicial));
        EXPECT_EQ(t.value(i, "ORDEN"), r.orden);
        EXPECT_EQ(t.value(i, "ESTAREA"), r.estarea);
        EXPECT_EQ(t.value(i, "HORAS"), r.horas);
        EXPECT_EQ(t.value(i, "OFERTAMATRI"), textOr(r.oferta));
    }
    EXPECT_EQ(t.text(3, "NOMBRE"), "  lead"); // leading blanks are the value's own
    EXPECT_EQ(t.integer(2, "ORDEN"), std::nullopt);
    EXPECT_EQ(t.number(2, "HORAS"), std::nullopt);
    EXPECT_EQ(t.boolean(2, "ESTAREA"), std::nullopt);
    EXPECT_EQ(t.text(2, "ORDEN"), "");
    EXPECT_EQ(t.text(0, "ESTAREA"), "T");
    EXPECT_EQ(t.text(0, "HORAS"), "1.5");
    EXPECT_TRUE(std::signbit(std::get<double>(t.value(5, "HORAS"))));
}

TEST(RoundTrip, TextLongerThanItsFieldIsCutSilently) {
    ScratchFolder dir;
    const auto file = dir / "CORTE.DBF";
    Table::create(file, {{"UNO", 'C', 1}, {"DIEZ", 'C', 10}});
    {
        Table t = Table::open(file, OpenMode::Shared, Access::ReadWrite);
        RecordBuffer b;
        b.setText("UNO", "Lengua");
        b.setText("DIEZ", "PROFESORA-01");
        t.append(b);
    }
    Table t = Table::open(file, OpenMode::Shared);
    EXPECT_EQ(t.text(0, "UNO"), "L");
    EXPECT_EQ(t.text(0, "DIEZ"), "PROFESORA-");
}

TEST(RoundTrip, ValuesAreConvertedToTheFieldsType) {
    ScratchFolder dir;
    const auto file = dir / "CONV.DBF";
    Table::create(file, {{"TEXTO", 'C', 8}, {"ENTERO", 'I'}, {"REAL", 'O'}, {"SINO", 'L'}});
    Table t = Table::open(file, OpenMode::Shared, Access::ReadWrite);
    RecordBuffer b;
    b.setInteger("TEXTO", 42);
    b.setText("ENTERO", " 17 ");
    b.setInteger("REAL", 3);
    b.setText("SINO", "T");
    t.append(b);
    EXPECT_EQ(t.value(0, "TEXTO"), Value(std::string("42")));
    EXPECT_EQ(t.value(0, "ENTERO"), Value(std::int64_t{17}));
    EXPECT_EQ(t.value(0, "REAL"), Value(3.0));
    EXPECT_EQ(t.value(0, "SINO"), Value(true));

    struct Bad {
        const char* field;
        Value value;
        const char* mentions;
    };
    const std::vector<Bad> bad = {
        {"ENTERO", std::string("12a"), "12a"},
        {"ENTERO", std::int64_t{3000000000LL}, "3000000000"},
        // its stored form would be the four zero bytes of NULL
        {"ENTERO", std::int64_t{-2147483648LL}, "-2147483648"},
        {"ENTERO", 2.5, "2.5"},
        {"ENTERO", true, "ENTERO"},
        {"REAL", std::string("uno"), "uno"},
        // stored text is Windows-1252; the message is UTF-8
        {"SINO", std::string("quiz\xE1"), "quizá"},
        {"NOEXISTE", std::int64_t{1}, "NOEXISTE"},
    };
    for (const Bad& c : bad) {
        SCOPED_TRACE(c.field);
        RecordBuffer r;
        if (auto* s = std::get_if<std::string>(&c.value))
            r.setText(c.field, *s);
        else if (auto* i = std::get_if<std::int64_t>(&c.value))
            r.setInteger(c.field, *i);
        else if (auto* d = std::get_if<double>(&c.value))
            r.setDouble(c.field, *d);
        else
            r.setBool(c.field, std::get<bool>(c.value));
        const std::string message = dbftest::errorOf([&] { t.append(r); });
        EXPECT_NE(message.find(c.mentions), std::string::npos) << message;
        EXPECT_NE(message.find("CONV.DBF"), std::string::npos) << message;
    }
    EXPECT_EQ(t.recordCount(), 1u) << "a refused record must not be appended";
}

TEST(RoundTrip, UpdateWritesTheRecordBackAtOnce) {
    ScratchFolder dir;
    const auto file = dir / "PROFT.DBF";
    Table::create(file, {{"ABREV", 'C', 10}, {"DNI", 'I'}, {"EMPLEADO", 'C', 10}});
    {
        Table t = Table::open(file, OpenMode::Shared, Access::ReadWrite);
        for (int i = 0; i < 3; ++i) {
            RecordBuffer b;
            b.setText("ABREV", "P" + std::to_string(i));
            b.setInteger("DNI", 100 + i);
            t.append(b);
        }
    }
    Table writer = Table::open(file, OpenMode::Shared, Access::ReadWrite);
    RecordBuffer change;
    change.setText("EMPLEADO", "E-77");
    change.setNull("DNI");
    writer.update(1, change);
    // Another opening sees the change while the writer still holds the table open.
    {
        Table reader = Table::open(file, OpenMode::Shared);
        EXPECT_EQ(reader.text(1, "EMPLEADO"), "E-77");
        EXPECT_EQ(reader.integer(1, "DNI"), std::nullopt);
        EXPECT_EQ(reader.text(1, "ABREV"), "P1") << "fields not assigned keep their values";
        EXPECT_EQ(reader.integer(2, "DNI"), 102);
    }
    RecordBuffer bad;
    bad.setText("EMPLEADO", "E-88");
    bad.setText("DNI", "no");
    EXPECT_FALSE(dbftest::errorOf([&] { writer.update(0, bad); }).empty());
    EXPECT_EQ(writer.text(0, "EMPLEADO"), "") << "a refused update changes nothing";
    EXPECT_FALSE(dbftest::errorOf([&] { writer.update(9, change); }).empty());
}

TEST(RoundTrip, ReadOnlyOpeningRefusesToWrite) {
    ScratchFolder dir;
    const auto file = dir / "RO.DBF";
    Table::create(file, {{"A", 'C', 3}});
    Table t = Table::open(file, OpenMode::Shared);
    RecordBuffer b;
    b.setText("A", "x");
    EXPECT_NE(dbftest::errorOf([&] { t.append(b); }).find("solo para lectura"), std::string::npos);
}

TEST(RoundTrip, CreateRefusesBadDefinitionsAndExistingFiles) {
    ScratchFolder dir;
    struct Case {
        const char* what;
        std::vector<FieldSpec> fields;
    };
    const std::vector<Case> cases = {
        {"no fields", {}},
        {"width 0", {{"A", 'C', 0}}},
        {"width 255", {{"A", 'C', 255}}},
        {"name of 32", {{std::string(32, 'N'), 'C', 1}}},
        {"empty name", {{"", 'C', 1}}},
        {"same name twice", {{"ABREV", 'C', 1}, {"abrev", 'I'}}},
        {"type not written", {{"FECHA", 'D', 8}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const auto file = dir / "MAL.DBF";
        EXPECT_FALSE(dbftest::errorOf([&] { Table::create(file, c.fields); }).empty());
        EXPECT_FALSE(std::filesystem::exists(file));
    }
    Table::create(dir / "YA.DBF", {{std::string(31, 'N'), 'C', 254}});
    EXPECT_NE(dbftest::errorOf([&] {
                  Table::create(dir / "YA.DBF", {{"A", 'C', 1}});
              }).find("ya existe"),
              std::string::npos);
}

TEST(RoundTrip, FieldsAreFoundByNameWhateverTheLetterCase) {
    ScratchFolder dir;
    const auto file = dir / "CASE.DBF";
    Table::create(file, {{"ClaveCurso", 'C', 5}, {"A\xD1O", 'I'}}); // "AÑO" in Windows-1252
    Table t = Table::open(file, OpenMode::Shared, Access::ReadWrite);
    RecordBuffer b;
    b.setText("CLAVECURSO", "1A");
    b.setInteger("a\xF1o", 2026); // "año" in Windows-1252
    t.append(b);
    EXPECT_EQ(t.fieldIndex("claveCURSO"), 0u);
    EXPECT_EQ(t.integer(0, "A\xD1O"), 2026);
    EXPECT_EQ(t.fieldIndex("NADA"), std::nullopt);
    const std::string message = dbftest::errorOf([&] { t.text(0, "NADA"); });
    EXPECT_NE(message.find("NADA"), std::string::npos);
    EXPECT_NE(message.find("CASE.DBF"), std::string::npos);
    EXPECT_FALSE(dbftest::errorOf([&] { t.text(1, "ClaveCurso"); }).empty());
}

} // namespace
