#include "exchange/velmora/TableOpening.h"

#include "dbf/Table.h"
#include "platform/Utf8Path.h"
#include "support/ErrorOf.h"
#include "support/ScratchFolder.h"

#include <gtest/gtest.h>

namespace pontrel {
namespace {

using testing::errorOf;
using testing::ScratchFolder;

TEST(TableOpeningTest, FindsTheTableInAnyLetterCase) {
    ScratchFolder folder;
    dbf::Table::create(folder.path() / "Proft.dbf", {{"ABREV", 'C', 10}});
    auto table = openRequiredTable(folder.path(), "PROFT.DBF", dbf::OpenMode::Shared, dbf::Access::ReadOnly,
                                   {"la carpeta de trabajo", "."});
    EXPECT_EQ(table.path().filename(), "Proft.dbf");
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
