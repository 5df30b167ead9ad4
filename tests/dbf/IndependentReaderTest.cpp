// An independent check: Free Pascal's TDbf reads the level-7 tables that Pontrel writes and gives
// the same values as Pontrel's own reader.

#include "support/IndependentReader.h"
#include "DbfTestSupport.h"

#include <gtest/gtest.h>

using namespace pontrel::dbf;
using pontrel::testing::ScratchFolder;

namespace {

TEST(IndependentReader, ReadsAPontrelTableValueForValue) {
    if (!pontrel::test::independentReaderAvailable())
        GTEST_SKIP() << pontrel::test::kNoIndependentReader;
    ScratchFolder dir;
    const auto file = dir / "DIASHORAST2.DBF";
    Table::create(file,
                  {{"CODIGO", 'C', 10},
                   {"NOMBRE", 'C', 40},
                   {"ORDEN", 'I'},
                   {"ESTAREA", 'L'},
                   {"HORAS", 'O'},
                   {"OFERTAMATRI", 'C', 1}},
                  IndexSpec{"ORDEN", "ORDEN"});
    {
        Table t = Table::open(file, OpenMode::Shared, Access::ReadWrite);
        for (int i = 0; i < 300; ++i) {
            RecordBuffer b;
            b.setText("CODIGO", "C" + std::to_string(i));
            // Windows-1252 letters, a blank inside, and text longer than the field.
            b.setText("NOMBRE", std::string("Educaci\xF3n f\xEDsica y deportiva, grupo ") +
                                    std::to_string(i) + " con un nombre muy largo");
            if (i % 5)
                b.setInteger("ORDEN", (i * 7919) % 1000 - 500);
            if (i % 3)
                b.setBool("ESTAREA", i % 2 == 0);
            if (i % 4)
                b.setDouble("HORAS", i * 0.1 - 7.25);
            if (i % 6 == 0)
                b.setText("OFERTAMATRI", "S");
            t.append(b);
        }
        t.append(RecordBuffer{});
    }
    Table mine = Table::open(file, OpenMode::Shared);
    const auto other = pontrel::test::readWithIndependentReader(file);
    std::vector<std::string> names;
    for (const auto& f : mine.fields())
        names.push_back(f.name);
    EXPECT_EQ(other.fields, names);
    const auto expected = pontrel::test::independentRows(mine);
    ASSERT_EQ(other.rows.size(), expected.size());
    for (std::size_t r = 0; r < expected.size(); ++r)
        ASSERT_EQ(other.rows[r], expected[r]) << "record " << r;
    // The comparison would be empty if both sides read nothing: check what was written.
    EXPECT_EQ(expected[1][2], std::optional<std::string>("I:" + std::to_string(7919 % 1000 - 500)));
    EXPECT_EQ(expected[1][4], std::optional<std::string>("F:-7.15"));
}

} // namespace
