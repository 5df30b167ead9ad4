#include "exchange/velmora/TableOpening.h"

#include "dbf/Table.h"
#include "platform/Utf8Path.h"
#include "support/ErrorOf.h"
#include "support/ScratchFolder.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace pontrel {
namespace {

using testing::errorOf;
using testing::ScratchFolder;

TEST(TableOpeningTest, FindsTheTableInAnyLetterCase) {
    ScratchFolder folder;
    dbf::Table::create(folder.path() / "Proft.dbf", {{"ABREV", 'C', 10}});
    auto table = openRequiredTable(folder.path(), "PROFT.DBF", dbf::OpenMode::Shared, dbf::Access::ReadOnly,
                                   {"la carpeta de trabajo", "."});
    // The file in the folder, whichever spelling names it (Windows answers the asked one itself).
    EXPECT_TRUE(std::filesystem::equivalent(table.path(), folder.path() / "Proft.dbf")) << table.path();
}

TEST(TableOpeningTest, AMissingTableIsNamedWithItsFolderAndWhatTheRunExpected) {
    ScratchFolder folder;
    const std::string message = errorOf([&] {
        openRequiredTable(folder.path(), "ASIGT.DBF", dbf::OpenMode::Exclusive, dbf::Access::ReadOnly,
                          {"la carpeta de trabajo", ". No se ha escrito nada."});
    });
    EXPECT_EQ(message, "No se encuentra la tabla ASIGT.DBF en la carpeta de trabajo «" +
                           platform::utf8Of(folder.path()) + "». No se ha escrito nada.");
}

} // namespace
} // namespace pontrel
