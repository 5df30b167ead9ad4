// Openings that keep each other apart, byte locks, the folder lock, and replacing a file whole: the
// same rules on both systems, whatever each system uses underneath.

#include "platform/PlatformFixture.h"

#include "platform/Files.h"
#include "platform/FolderLock.h"
#include "platform/SystemError.h"

#include <gtest/gtest.h>

namespace pontrel::platform {
namespace {

using platformtest::entriesIn;
using platformtest::readFile;
using platformtest::ScratchFolder;
using platformtest::writeFile;
using Access = File::Access;
using Sharing = File::Sharing;

struct OpeningCase {
    const char* name;
    Sharing first;
    Sharing second;
    bool admitted;
};

class OpeningTogether : public ::testing::TestWithParam<OpeningCase> {};

// Two openings of one file, in one process as in two: only shared openings go together, and a refusal
// is told apart from every other failure.
TEST_P(OpeningTogether, OnlySharedOpeningsGoTogether) {
    ScratchFolder folder;
    writeFile(folder / "PROFT.DBF", "tabla");
    File first, second;
    ASSERT_EQ(first.open(folder / "PROFT.DBF", Access::ReadWrite, GetParam().first), 0);
    const int error = second.open(folder / "PROFT.DBF", Access::Read, GetParam().second);
    if (GetParam().admitted) {
        EXPECT_EQ(error, 0);
    } else {
        EXPECT_EQ(errorKind(error), ErrorKind::InUse) << errorReason(error);
        EXPECT_EQ(errorReason(error), "está abierto en otro programa");
        first.close();
        EXPECT_EQ(second.open(folder / "PROFT.DBF", Access::Read, GetParam().second), 0) << "let go on close";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, OpeningTogether,
    ::testing::Values(OpeningCase{"SharedShared", Sharing::Shared, Sharing::Shared, true},
                      OpeningCase{"SharedExclusive", Sharing::Shared, Sharing::Exclusive, false},
                      OpeningCase{"ExclusiveShared", Sharing::Exclusive, Sharing::Shared, false},
                      OpeningCase{"ExclusiveExclusive", Sharing::Exclusive, Sharing::Exclusive, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Files, ReadOnlyFileCanStillBeHeldExclusively) {
    ScratchFolder folder;
    const auto file = folder / "AULAT.DBF";
    writeFile(file, "tabla");
    std::filesystem::permissions(file,
                                 std::filesystem::perms::owner_write | std::filesystem::perms::group_write |
                                     std::filesystem::perms::others_write,
                                 std::filesystem::perm_options::remove);
    File held, other;
    ASSERT_EQ(held.open(file, Access::Read, Sharing::Exclusive), 0);
    EXPECT_EQ(errorKind(other.open(file, Access::Read, Sharing::Shared)), ErrorKind::InUse);
    std::uint8_t bytes[5];
    std::size_t got = 0;
    ASSERT_EQ(held.readAt(0, bytes, sizeof bytes, got), 0);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(bytes), got), "tabla");
}

TEST(Files, FailuresHaveTheirKind) {
    ScratchFolder folder;
    std::filesystem::create_directory(folder / "carpeta");
    writeFile(folder / "existe", "x");
    File file;
    EXPECT_EQ(errorKind(file.open(folder / "falta.dbf", Access::Read, Sharing::Shared)), ErrorKind::NotFound);
    EXPECT_EQ(errorKind(file.open(folder / "carpeta", Access::ReadWrite, Sharing::Shared)),
              ErrorKind::IsFolder);
    EXPECT_EQ(errorKind(file.createNew(folder / "existe")), ErrorKind::Exists);
    EXPECT_FALSE(file.isOpen());
}

TEST(Files, ByteLockKeepsASecondOpeningOutUntilUnlocked) {
    ScratchFolder folder;
    writeFile(folder / "PROFT.DBF", "tabla");
    File first, second;
    ASSERT_EQ(first.open(folder / "PROFT.DBF", Access::ReadWrite, Sharing::Shared), 0);
    ASSERT_EQ(second.open(folder / "PROFT.DBF", Access::ReadWrite, Sharing::Shared), 0);
    constexpr std::uint64_t byte = 0x7FFFFFF1; // past the end, as the engine's writer lock
    ASSERT_EQ(first.tryLockByte(byte), 0);
    EXPECT_EQ(errorKind(second.tryLockByte(byte)), ErrorKind::InUse);
    first.unlockByte(byte);
    EXPECT_EQ(second.tryLockByte(byte), 0);
    // The data itself stays free.
    const std::uint8_t data[] = {'T'};
    EXPECT_EQ(first.writeAt(0, data, 1), 0);
}

TEST(Files, SharedOpeningCountsAsHeldForReplacement) {
    ScratchFolder folder;
    writeFile(folder / "PROFT.DBF", "tabla");
    EXPECT_FALSE(heldByAnother(folder / "PROFT.DBF"));
    File file;
    ASSERT_EQ(file.open(folder / "PROFT.DBF", Access::ReadWrite, Sharing::Shared), 0);
    EXPECT_TRUE(heldByAnother(folder / "PROFT.DBF"));
    file.close();
    EXPECT_FALSE(heldByAnother(folder / "PROFT.DBF"));
}

TEST(Files, TemporaryFileReplacesTheTargetOnlyOnCommit) {
    ScratchFolder folder;
    const auto target = folder / "Resultado.xml";
    writeFile(target, "anterior");
    {
        TemporaryFile file;
        ASSERT_EQ(file.create(target), 0);
        ASSERT_EQ(file.write("nuevo", 5), 0);
        std::string back;
        ASSERT_EQ(file.readAll(back), 0);
        EXPECT_EQ(back, "nuevo");
        EXPECT_EQ(readFile(target), "anterior");
    }
    EXPECT_EQ(readFile(target), "anterior");
    EXPECT_EQ(entriesIn(folder.path()), 1u) << "an abandoned file leaves nothing";

    TemporaryFile file;
    ASSERT_EQ(file.create(target), 0);
    ASSERT_EQ(file.write("nuevo", 5), 0);
    ASSERT_EQ(file.commit(), 0);
    EXPECT_EQ(readFile(target), "nuevo");
    EXPECT_EQ(entriesIn(folder.path()), 1u);
}

TEST(Files, ReplaceFileSaysWhichStepFailedAndLeavesTheTarget) {
    ScratchFolder folder;
    EXPECT_FALSE(replaceFile(folder / "nuevo.ini", "[A]\r\n"));
    EXPECT_EQ(readFile(folder / "nuevo.ini"), "[A]\r\n");

    const ReplaceResult missing = replaceFile(folder / "falta" / "x.ini", "x");
    EXPECT_EQ(missing.step, ReplaceStep::Create);
    EXPECT_TRUE(errorKind(missing.error) == ErrorKind::NotFound ||
                errorKind(missing.error) == ErrorKind::NoFolder)
        << errorReason(missing.error);

    // A folder in the target's place: the move is refused and nothing else changes.
    std::filesystem::create_directory(folder / "ocupado");
    writeFile(folder / "ocupado" / "dentro", "x");
    const ReplaceResult blocked = replaceFile(folder / "ocupado", "y");
    EXPECT_EQ(blocked.step, ReplaceStep::Move);
    EXPECT_EQ(readFile(folder / "ocupado" / "dentro"), "x");
    EXPECT_EQ(entriesIn(folder.path()), 2u) << "no temporary file left";
}

TEST(Files, MoveReplacingReplacesAnExistingFile) {
    for (const auto move : {moveReplacing, moveReplacingUnsynced}) {
        ScratchFolder folder;
        writeFile(folder / "a", "nuevo");
        writeFile(folder / "b", "viejo");
        ASSERT_EQ(move(folder / "a", folder / "b"), 0);
        EXPECT_EQ(readFile(folder / "b"), "nuevo");
        EXPECT_FALSE(std::filesystem::exists(folder / "a"));
        EXPECT_EQ(syncFile(folder / "b"), 0);
        EXPECT_EQ(syncFolder(folder.path()), 0);
        // A missing source is the system's error, and nothing changes.
        EXPECT_NE(move(folder / "a", folder / "b"), 0);
        EXPECT_EQ(readFile(folder / "b"), "nuevo");
    }
}

TEST(FileLock, OneHolderAtATimeAndReleaseRemovesTheFile) {
    ScratchFolder folder;
    const auto file = folder / ".pontrel-bloqueo";
    FileLock first, second;
    ASSERT_EQ(first.tryAcquire(file), 0);
    EXPECT_TRUE(std::filesystem::exists(file));
    EXPECT_EQ(errorKind(second.tryAcquire(file)), ErrorKind::InUse);
    EXPECT_FALSE(second.held());
    first.release();
    EXPECT_FALSE(std::filesystem::exists(file));
    ASSERT_EQ(second.tryAcquire(file), 0);
    FileLock moved(std::move(second));
    EXPECT_TRUE(moved.held());
    moved.release();
    EXPECT_EQ(entriesIn(folder.path()), 0u);
}

TEST(FileLock, MissingFolderIsAnErrorNotABusyLock) {
    ScratchFolder folder;
    FileLock lock;
    const int error = lock.tryAcquire(folder / "falta" / ".pontrel-bloqueo");
    EXPECT_NE(error, 0);
    EXPECT_NE(errorKind(error), ErrorKind::InUse);
}

} // namespace
} // namespace pontrel::platform
