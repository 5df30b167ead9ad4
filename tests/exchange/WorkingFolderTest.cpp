#include "exchange/velmora/WorkingFolder.h"

#include "dbf/Error.h"
#include "dbf/Table.h"
#include "support/EnvironmentGuard.h"
#include "support/ErrorOf.h"
#include "support/ScratchFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace pontrel {
namespace {

namespace fs = std::filesystem;
using testing::ScratchFolder;

using testing::EnvironmentGuard;

using testing::errorOf;

std::vector<std::string> fileNames(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

const std::vector<dbf::FieldSpec> kFields = {{"ABREV", 'C', 10}, {"NOMBRE", 'C', 80}, {"ORDEN", 'I'}};

// Where the folder is found on POSIX systems (Windows has C:\VTEMP, checked by the platform tests).
#ifndef _WIN32
TEST(WorkingFolderLocation, FromTheEnvironment) {
    struct LocationCase {
        const char* name;
        std::optional<std::string> vtemp, winePrefix, home;
        std::string expected;
    };
    const std::vector<LocationCase> cases = {
        {"OwnVariableFirst", "/datos/vtemp", "/opt/wine", "/home/ana", "/datos/vtemp"},
        {"WinePrefix", std::nullopt, "/opt/wine", "/home/ana", "/opt/wine/drive_c/VTEMP"},
        {"EmptyOwnVariableIgnored", "", "/opt/wine", "/home/ana", "/opt/wine/drive_c/VTEMP"},
        {"DefaultWinePrefix", std::nullopt, std::nullopt, "/home/ana", "/home/ana/.wine/drive_c/VTEMP"},
        {"EmptyWinePrefixIgnored", std::nullopt, "", "/home/ana", "/home/ana/.wine/drive_c/VTEMP"},
    };
    for (const LocationCase& c : cases) {
        SCOPED_TRACE(c.name);
        EnvironmentGuard env;
        env.set("PONTREL_VTEMP", c.vtemp);
        env.set("WINEPREFIX", c.winePrefix);
        env.set("HOME", c.home);
        EXPECT_EQ(defaultWorkingFolder(), fs::path(c.expected));
    }
}

TEST(WorkingFolderLocation, WineFolderInAnyLetterCase) {
    ScratchFolder prefix;
    fs::create_directories(prefix.path() / "drive_c" / "vtemp");
    EnvironmentGuard env;
    env.set("PONTREL_VTEMP", std::nullopt);
    env.set("WINEPREFIX", prefix.path().string());
    EXPECT_EQ(defaultWorkingFolder(), prefix.path() / "drive_c" / "vtemp");

    fs::create_directories(prefix.path() / "drive_c" / "VTEMP");
    EXPECT_EQ(defaultWorkingFolder(), prefix.path() / "drive_c" / "VTEMP");
}
#endif

TEST(WorkingFolderLocation, AMissingFolderIsNamedNeverCreated) {
    ScratchFolder scratch;
    const fs::path missing = scratch.path() / "VTEMP";
    const std::string message = errorOf([&] { requireWorkingFolder(missing); });
    EXPECT_NE(message.find("«" + missing.string() + "»"), std::string::npos) << message;
    EXPECT_FALSE(fs::exists(missing));

    const fs::path file = scratch.write("VTEMP.txt", "x");
    EXPECT_NE(errorOf([&] { requireWorkingFolder(file); }).find(file.string()), std::string::npos);

    EXPECT_NO_THROW(requireWorkingFolder(scratch.path()));
}

// Names that differ in letter case only: a case-insensitive file system (Windows) holds one of them.
#ifndef _WIN32
TEST(WorkingFolderTables, FoundWithoutRegardToLetterCase) {
    ScratchFolder folder;
    folder.write("soluc.dbf", "x");
    folder.write("Proft.DBF", "x");
    folder.write("AULAT.DBF", "x");
    folder.write("aulat.dbf", "x");
    fs::create_directory(folder.path() / "GRUPOST.DBF"); // a folder is not a table

    struct FindCase {
        const char* name;
        std::optional<std::string> found;
    };
    const std::vector<FindCase> cases = {
        {"SOLUC.DBF", "soluc.dbf"},    {"PROFT.DBF", "Proft.DBF"},    {"proft.dbf", "Proft.DBF"},
        {"AULAT.DBF", "AULAT.DBF"},    {"aulat.dbf", "aulat.dbf"}, // an exact match wins
        {"GRUPOST.DBF", std::nullopt}, {"CURSOST.DBF", std::nullopt}, {"PROFT", std::nullopt},
    };
    for (const FindCase& c : cases) {
        SCOPED_TRACE(c.name);
        const std::optional<fs::path> found = findTableFile(folder.path(), c.name);
        if (c.found)
            EXPECT_EQ(found, folder.path() / *c.found);
        else
            EXPECT_EQ(found, std::nullopt);
    }
    EXPECT_EQ(findTableFile(folder.path() / "no-existe", "SOLUC.DBF"), std::nullopt);
}
#endif

TEST(WorkingFolderTables, RecreationDeletesStaleFilesInAnyCase) {
    ScratchFolder folder;
    folder.write("proft.dbf", "tabla vieja");
    folder.write("Proft.Mdx", "indice viejo");
    folder.write("PROFT.MDX", "indice viejo");
    folder.write("PROFT2.DBF", "otra tabla");

    recreateTable(folder.path(), "PROFT", kFields);

    EXPECT_EQ(fileNames(folder.path()), (std::vector<std::string>{"PROFT.DBF", "PROFT2.DBF"}));
    dbf::Table table = dbf::Table::open(folder.path() / "PROFT.DBF", dbf::OpenMode::Shared);
    EXPECT_EQ(table.recordCount(), 0u);
    ASSERT_EQ(table.fields().size(), kFields.size());
    for (std::size_t i = 0; i < kFields.size(); ++i) {
        EXPECT_EQ(table.fields()[i].name, kFields[i].name);
        EXPECT_EQ(table.fields()[i].type, kFields[i].type);
    }
}

TEST(WorkingFolderTables, RecreationKeepsTheIndexFileWhenAsked) {
    ScratchFolder folder;
    folder.write("PERIODOS.DBF", "tabla vieja");
    folder.write("PERIODOS.MDX", "indice de otro programa");
    recreateTable(folder.path(), "PERIODOS", kFields, std::nullopt, /*deleteMdx=*/false);
    EXPECT_EQ(fileNames(folder.path()), (std::vector<std::string>{"PERIODOS.DBF", "PERIODOS.MDX"}));
}

TEST(WorkingFolderTables, RecreationWithAnIndexWritesIt) {
    ScratchFolder folder;
    recreateTable(folder.path(), "DIASHORAST2", kFields, dbf::IndexSpec{"ORDEN", "ORDEN"});
    EXPECT_EQ(fileNames(folder.path()), (std::vector<std::string>{"DIASHORAST2.DBF", "DIASHORAST2.MDX"}));
}

TEST(WorkingFolderTables, RecreationStopsWhileAnotherOpeningHoldsTheTable) {
    ScratchFolder folder;
    recreateTable(folder.path(), "AULAT", kFields);
    {
        dbf::Table writer =
            dbf::Table::open(folder.path() / "AULAT.DBF", dbf::OpenMode::Shared, dbf::Access::ReadWrite);
        dbf::RecordBuffer record;
        record.setText("ABREV", "A12");
        writer.append(record);
        writer.close();
    }
    dbf::Table holder = dbf::Table::open(folder.path() / "AULAT.DBF", dbf::OpenMode::Shared);
    const std::string message = errorOf([&] { recreateTable(folder.path(), "AULAT", kFields); });
    EXPECT_NE(message.find((folder.path() / "AULAT.DBF").string()), std::string::npos) << message;
    holder.close();

    // The table was left as it was.
    dbf::Table table = dbf::Table::open(folder.path() / "AULAT.DBF", dbf::OpenMode::Shared);
    EXPECT_EQ(table.recordCount(), 1u);
}

TEST(WorkingFolderTables, RecreationInAMissingFolderNamesIt) {
    ScratchFolder scratch;
    const fs::path missing = scratch.path() / "VTEMP";
    const std::string message = errorOf([&] { recreateTable(missing, "PROFT", kFields); });
    EXPECT_NE(message.find(missing.string()), std::string::npos) << message;
    EXPECT_FALSE(fs::exists(missing));
}

} // namespace
} // namespace pontrel
