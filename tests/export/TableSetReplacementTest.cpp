// The all-or-nothing replacement of the working tables: a failure between any two moves puts the old
// set back, a process killed at any point is put right by the next start, and two Pontrel processes
// never write the folder at once.

#include "export/RunFolderFixture.h"

#include "dbf/Error.h"
#include "exchange/velmora/TableSetReplacement.h"
#include "exchange/velmora/WorkingFolderLock.h"
#include "support/ErrorOf.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <thread>

#ifndef _WIN32
#include <csignal>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace pontrel {
namespace {

namespace fs = std::filesystem;
using testing::folderContents;
using testing::ScratchFolder;
using testing::writeFile;
using testing::writeMarkedTable;
using Contents = std::map<std::string, std::string>;

constexpr std::chrono::milliseconds kNoWait{0};

// The new set a run stages: some tables in a different letter case than the old files, and the index.
void stageNewSet(const fs::path& staging) {
    for (const char* table : {"ASIGNOMT.DBF", "PROFT.DBF", "PERIODOS.DBF", "DIASHORAST2.DBF", "AULAT.DBF"})
        writeMarkedTable(staging / table, std::string("nuevo ") + table);
    writeFile(staging / "DIASHORAST2.MDX", "indice nuevo de DIASHORAST2");
}

class TableSetReplacementTest : public ::testing::Test {
  protected:
    fs::path freshFolder(const std::string& name) {
        const fs::path folder = root.path() / name;
        fs::create_directory(folder);
        testing::fillWithEarlierSet(folder);
        return folder;
    }

    // Commits the staged new set into `folder`, with `hook` before each move.
    void replace(const fs::path& folder, std::function<void(const std::string&)> hook = {}) {
        WorkingFolderLock lock(folder, kNoWait);
        TableSetReplacement replacement(folder);
        stageNewSet(replacement.stagingFolder());
        replacement.beforeEachMove = std::move(hook);
        replacement.commit({"PERIODOS"});
    }

    ScratchFolder root;
};

TEST_F(TableSetReplacementTest, CommitMovesTheNewSetInAndRemovesStaleIndexesExceptKeptOnes) {
    const fs::path work = freshFolder("VTEMP");
    const Contents before = folderContents(work);
    replace(work);
    const Contents after = folderContents(work);

    for (const char* gone : {"proft.dbf", "proft.mdx"})
        EXPECT_FALSE(after.count(gone)) << gone;
    for (const char* kept : {"PERIODOS.MDX", "SOLUC.DBF", "notas.txt", "ASIGT.DBF", "GRUPOST.DBF"})
        EXPECT_EQ(after.at(kept), before.at(kept)) << kept;
    EXPECT_EQ(after.at("DIASHORAST2.MDX"), "indice nuevo de DIASHORAST2");
    EXPECT_EQ(testing::readColumn(work / "PROFT.DBF", "MARCA"), std::vector<std::string>{"nuevo PROFT.DBF"});
    for (const char* leftover : {kStagingFolderName, kBackupFolderName, kJournalFileName, kLockFileName})
        EXPECT_FALSE(after.count(leftover)) << leftover;
}

#ifndef _WIN32
// Another program that holds a classic fcntl lock on some bytes of a file, as a dBase engine locks a
// record or the header; it keeps the lock until it is killed.
class LockingProcess {
  public:
    LockingProcess(const fs::path& file, short type, off_t start, off_t length) {
        int ready[2];
        if (::pipe(ready) != 0)
            return;
        pid_ = ::fork();
        if (pid_ == 0) {
            const int fd = ::open(file.c_str(), type == F_RDLCK ? O_RDONLY : O_RDWR);
            struct flock lock {};
            lock.l_type = type;
            lock.l_whence = SEEK_SET;
            lock.l_start = start;
            lock.l_len = length;
            const char state = fd >= 0 && ::fcntl(fd, F_SETLK, &lock) == 0 ? 'L' : 'E';
            [[maybe_unused]] auto n = ::write(ready[1], &state, 1);
            for (;;)
                ::pause();
        }
        ::close(ready[1]);
        char state = 0;
        locked_ = ::read(ready[0], &state, 1) == 1 && state == 'L';
        ::close(ready[0]);
    }
    ~LockingProcess() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
    }
    bool locked() const { return locked_; }

  private:
    pid_t pid_ = -1;
    bool locked_ = false;
};

// Another program's lock on any byte of a table or index about to be replaced stops the replacement
// before anything moves, whatever the byte and the kind of lock.
TEST_F(TableSetReplacementTest, ALockAnotherProgramHoldsOnAnyByteOfAnOldFileStopsTheReplacement) {
    struct Case {
        const char* file;
        short type;
        off_t start;
        off_t length;
    };
    const Case cases[] = {
        {"proft.dbf", F_WRLCK, 0, 1},          // the first byte of the header
        {"proft.dbf", F_RDLCK, 0, 1},          // a shared lock keeps a replacement out as well
        {"ASIGNOMT.DBF", F_WRLCK, 1000000, 1}, // a record lock past the end of the data
        {"DIASHORAST2.MDX", F_WRLCK, 0, 512},  // the header of an index that would be removed
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.file) + " at " + std::to_string(c.start));
        const fs::path work = freshFolder(std::string("bloqueo") + std::to_string(&c - cases));
        const Contents before = folderContents(work);
        LockingProcess other(work / c.file, c.type, c.start, c.length);
        ASSERT_TRUE(other.locked());
        try {
            replace(work);
            ADD_FAILURE() << "the replacement went on over the lock";
        } catch (const Error& error) {
            const std::string text = error.what();
            EXPECT_NE(text.find(c.file), std::string::npos) << text;
            EXPECT_NE(text.find("bloqueada por otro programa"), std::string::npos) << text;
        }
        EXPECT_EQ(folderContents(work), before);
    }
}
#endif

TEST_F(TableSetReplacementTest, FailureBeforeAnyMoveOrBetweenMovesPutsEverythingBack) {
    std::vector<std::string> stages;
    replace(freshFolder("cuenta"), [&](const std::string& stage) { stages.push_back(stage); });
    ASSERT_GT(stages.size(), 10u);

    for (std::size_t breakAt = 0; breakAt < stages.size(); ++breakAt) {
        if (stages[breakAt] == "limpiar")
            continue; // past the point of no return: the new set is complete
        const fs::path work = freshFolder("roto" + std::to_string(breakAt));
        const Contents before = folderContents(work);
        std::size_t calls = 0;
        try {
            replace(work, [&](const std::string& stage) {
                if (calls++ == breakAt)
                    throw std::runtime_error("fallo simulado al " + stage);
            });
            ADD_FAILURE() << "no failure at " << stages[breakAt];
        } catch (const Error& error) {
            EXPECT_NE(std::string(error.what()).find("las tablas anteriores siguen en su sitio"),
                      std::string::npos)
                << error.what();
        }
        EXPECT_EQ(folderContents(work), before) << "broken at " << stages[breakAt];
    }
}

// Copying the folder needs to read the tables the replacement holds: Windows refuses that, and there
// scripts/windows-check.sh kills real runs under Wine instead.
#ifndef _WIN32
// A kill at any point is simulated by copying the folder as it stands at that point; the next start
// must turn the copy into the complete old set, or, once the journal confirms the new set, the new one.
TEST_F(TableSetReplacementTest, NextStartUndoesOrCompletesAReplacementKilledAtAnyPoint) {
    const fs::path reference = freshFolder("referencia");
    const Contents oldSet = folderContents(reference);
    std::vector<std::string> stages;
    replace(reference, [&](const std::string& stage) { stages.push_back(stage); });
    const Contents newSet = folderContents(reference);
    ASSERT_NE(oldSet, newSet);

    for (std::size_t killAt = 0; killAt < stages.size(); ++killAt) {
        const fs::path work = freshFolder("viva" + std::to_string(killAt));
        const fs::path image = root.path() / ("muerta" + std::to_string(killAt));
        std::size_t calls = 0;
        replace(work, [&](const std::string&) {
            if (calls++ == killAt)
                fs::copy(work, image, fs::copy_options::recursive);
        });
        ASSERT_TRUE(fs::exists(image / kJournalFileName)) << stages[killAt];

        const auto line = recoverInterruptedReplacement(image);
        ASSERT_TRUE(line.has_value()) << stages[killAt];
        const bool confirmed = stages[killAt] == "limpiar";
        EXPECT_EQ(folderContents(image), confirmed ? newSet : oldSet) << "killed at " << stages[killAt];
        EXPECT_NE(line->find(confirmed ? "están las tablas nuevas" : "siguen las tablas anteriores"),
                  std::string::npos)
            << *line;
        EXPECT_EQ(recoverInterruptedReplacement(image), std::nullopt); // put right once, then nothing to do
    }
}
#endif

TEST_F(TableSetReplacementTest, RunKilledWhileStagingLeavesOnlyItsStagingFolderWhichTheNextStartDrops) {
    const fs::path work = freshFolder("VTEMP");
    const Contents before = folderContents(work);
    fs::create_directory(work / kStagingFolderName);
    writeMarkedTable(work / kStagingFolderName / "ASIGNOMT.DBF", "a medio escribir");

    EXPECT_EQ(recoverInterruptedReplacement(work), std::nullopt);
    EXPECT_EQ(folderContents(work), before);
}

TEST_F(TableSetReplacementTest, RecoveryLeavesAFolderAloneWhileAnotherPontrelHoldsIt) {
    const fs::path work = freshFolder("VTEMP");
    fs::create_directory(work / kStagingFolderName);
    {
        WorkingFolderLock busy(work, kNoWait);
        const Contents during = folderContents(work);
        EXPECT_EQ(recoverInterruptedReplacement(work), std::nullopt);
        EXPECT_EQ(folderContents(work), during);
    }
    recoverInterruptedReplacement(work);
    EXPECT_FALSE(fs::exists(work / kStagingFolderName));
}

TEST_F(TableSetReplacementTest, DamagedJournalIsReportedAndNothingIsGuessed) {
    const fs::path work = freshFolder("VTEMP");
    fs::create_directory(work / kBackupFolderName);
    writeFile(work / kJournalFileName, "esto no es un diario\n");
    const Contents before = folderContents(work);
    try {
        recoverInterruptedReplacement(work);
        FAIL() << "a damaged journal must be reported";
    } catch (const Error& error) {
        EXPECT_NE(std::string(error.what()).find(kJournalFileName), std::string::npos) << error.what();
    }
    EXPECT_EQ(folderContents(work), before);
}

TEST_F(TableSetReplacementTest, SecondHolderStopsWithAClearMessageOrWaitsForTheFirst) {
    const fs::path work = freshFolder("VTEMP");
    auto first = std::make_unique<WorkingFolderLock>(work, kNoWait);
    try {
        WorkingFolderLock second(work, kNoWait);
        FAIL() << "two holders at once";
    } catch (const Error& error) {
        EXPECT_NE(std::string(error.what()).find("Otra ejecución de Pontrel"), std::string::npos)
            << error.what();
    }

    std::atomic<bool> released{false};
    std::atomic<bool> acquiredBeforeRelease{false};
    std::thread waiter([&] {
        WorkingFolderLock second(work, std::chrono::milliseconds(20000));
        acquiredBeforeRelease = !released;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    released = true;
    first.reset();
    waiter.join();
    EXPECT_FALSE(acquiredBeforeRelease);
    EXPECT_FALSE(fs::exists(work / kLockFileName));
}

} // namespace
} // namespace pontrel

namespace pontrel {
namespace {

#ifndef _WIN32
// A working folder whose path leaves no room for the names Pontrel writes in it: the message says the
// path is too long, not that an export was interrupted (none was).
TEST(TableSetReplacementMessages, APathTooLongIsSaidSoAndNoInterruptionIsClaimed) {
    ScratchFolder root;
    fs::path folder = root.path();
    // 4076 characters: the lock file's name fits, the staging folder's does not.
    const std::size_t wanted = 4076;
    while (folder.string().size() + 1 < wanted) {
        const std::size_t room = wanted - folder.string().size() - 1;
        folder /= std::string(std::min<std::size_t>(room, 200), 'c');
        fs::create_directory(folder);
    }
    ASSERT_EQ(folder.string().size(), wanted);
    const std::string message = testing::errorOf([&] { recoverWhileLocked(folder); });
    EXPECT_NE(message.find("es demasiado larga"), std::string::npos) << message;
    EXPECT_EQ(message.find("interrumpida"), std::string::npos) << message;
}
#endif

} // namespace
} // namespace pontrel
