// pontrel-cli dump on a table that another program wrote in an MS-DOS code page: its text comes out
// in UTF-8 through the engine's code pages, as the import reads it.

#include "CommandOutcome.h"

#include "dbf/Table.h"
#include "support/ScratchFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>

namespace pontrel::cli {
namespace {

TEST(DumpCommandCodePage, Level7TableInCodePage437) {
    testing::ScratchFolder folder;
    const std::filesystem::path file = folder.path() / "SOLUC.DBF";
    dbf::Table::create(file, {{"AULA", 'C', 10}, {"CODGRUPO", 'C', 10}});
    {
        dbf::Table table = dbf::Table::open(file, dbf::OpenMode::Exclusive, dbf::Access::ReadWrite);
        dbf::RecordBuffer r;
        r.setText("AULA", "A\xA5"
                          "1"); // AÑ1 in code page 437, stored as given under DBWINUS0
        r.setText("CODGRUPO", "1\xA7"
                              "ESOA");
        table.append(r);
        table.close();
    }
    {
        std::fstream f(file, std::ios::binary | std::ios::in | std::ios::out);
        f.seekp(32);
        f.write("DB437US0", 8); // the language driver that the timetable tool wrote
    }
    const auto dumped = runCapturingStandardStreams([&] { return dumpCommand({file.string()}); });
    EXPECT_EQ(dumped.status, 0);
    EXPECT_EQ(dumped.out, "AULA,CODGRUPO\nA\xC3\x91"
                          "1,1\xC2\xBA"
                          "ESOA\n");
}

} // namespace
} // namespace pontrel::cli
