// Shared and exclusive openings, in one process and across processes, and writers kept apart.

#include "DbfTestSupport.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>
#endif

using namespace pontrel::dbf;
using pontrel::testing::ScratchFolder;

namespace {

std::filesystem::path makeTable(const ScratchFolder& dir, int records = 2) {
    const auto file = dir / "PROFT.DBF";
    Table::create(file, {{"ABREV", 'C', 10}, {"DNI", 'I'}});
    Table t = Table::open(file, OpenMode::Shared, Access::ReadWrite);
    for (int i = 0; i < records; ++i) {
        RecordBuffer b;
        b.setText("ABREV", "P" + std::to_string(i));
        t.append(b);
    }
    return file;
}

TEST(OpenModes, ConflictsBetweenOpeningsInOneProcess) {
    ScratchFolder dir;
    const auto file = makeTable(dir);
    struct Case {
        const char* what;
        OpenMode first, second;
        bool secondOpens;
        const char* mentions;
    };
    const std::vector<Case> cases = {
        {"shared beside shared", OpenMode::Shared, OpenMode::Shared, true, ""},
        {"exclusive beside shared", OpenMode::Shared, OpenMode::Exclusive, false,
         "no se puede abrir en exclusiva"},
        {"shared beside exclusive", OpenMode::Exclusive, OpenMode::Shared, false, "abierta en exclusiva"},
        {"exclusive beside exclusive", OpenMode::Exclusive, OpenMode::Exclusive, false,
         "no se puede abrir en exclusiva"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Table first = Table::open(file, c.first);
        const std::string message = dbftest::errorOf([&] { Table::open(file, c.second); });
        if (c.secondOpens) {
            EXPECT_EQ(message, "");
        } else {
            EXPECT_NE(message.find("PROFT.DBF"), std::string::npos) << message;
            EXPECT_NE(message.find(c.mentions), std::string::npos) << message;
        }
        first.close();
        EXPECT_EQ(dbftest::errorOf([&] { Table::open(file, c.second); }), "") << "free again after close";
    }
}

TEST(OpenModes, ClosingOneOpeningKeepsTheOthersLock) {
    // With classic process-wide fcntl locks, closing any descriptor of the file would drop this lock.
    ScratchFolder dir;
    const auto file = makeTable(dir);
    Table kept = Table::open(file, OpenMode::Shared);
    { Table other = Table::open(file, OpenMode::Shared); }
    EXPECT_NE(dbftest::errorOf([&] { Table::open(file, OpenMode::Exclusive); }), "");
}

// Another process: fork here; under Wine scripts/windows-check.sh holds tables from another program.
#ifndef _WIN32
TEST(OpenModes, AnotherProcessHoldingTheTableExclusively) {
    ScratchFolder dir;
    const auto file = makeTable(dir);
    int ready[2], done[2];
    ASSERT_EQ(pipe(ready), 0);
    ASSERT_EQ(pipe(done), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        char c = 0;
        try {
            auto* held = new Table(Table::open(file, OpenMode::Exclusive));
            (void)held;
            c = 'y';
        } catch (...) {
            c = 'n';
        }
        (void)!write(ready[1], &c, 1);
        (void)!read(done[0], &c, 1);
        _exit(0);
    }
    char c = 0;
    ASSERT_EQ(read(ready[0], &c, 1), 1);
    ASSERT_EQ(c, 'y');
    const std::string message = dbftest::errorOf([&] { Table::open(file, OpenMode::Shared); });
    EXPECT_NE(message.find("abierta en exclusiva"), std::string::npos) << message;
    (void)!write(done[1], &c, 1);
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_EQ(dbftest::errorOf([&] { Table::open(file, OpenMode::Shared); }), "") << "released when it ends";
    for (int fd : {ready[0], ready[1], done[0], done[1]})
        close(fd);
}
#endif

TEST(OpenModes, TwoWritersUpdatingDifferentRecordsKeepBothChanges) {
    ScratchFolder dir;
    const auto file = makeTable(dir, 4);
    Table a = Table::open(file, OpenMode::Shared, Access::ReadWrite);
    Table b = Table::open(file, OpenMode::Shared, Access::ReadWrite);
    RecordBuffer ca, cb;
    ca.setInteger("DNI", 11);
    cb.setInteger("DNI", 22);
    a.update(1, ca);
    b.update(3, cb);
    a.close();
    b.close();
    Table t = Table::open(file, OpenMode::Shared);
    EXPECT_EQ(t.integer(1, "DNI"), 11);
    EXPECT_EQ(t.integer(3, "DNI"), 22);
    EXPECT_EQ(t.text(3, "ABREV"), "P3");
}

TEST(OpenModes, AppendsOfTwoOpeningsNeverOverwriteEachOther) {
    ScratchFolder dir;
    const auto file = makeTable(dir, 1);
    Table late = Table::open(file, OpenMode::Shared, Access::ReadWrite);
    {
        Table early = Table::open(file, OpenMode::Shared, Access::ReadWrite);
        RecordBuffer b;
        b.setText("ABREV", "PRIMERO");
        early.append(b);
    }
    RecordBuffer b;
    b.setText("ABREV", "SEGUNDO");
    late.append(b);
    const std::string message = dbftest::errorOf([&] { late.close(); });
    EXPECT_NE(message.find("otro programa ha añadido registros"), std::string::npos) << message;
    Table t = Table::open(file, OpenMode::Shared);
    ASSERT_EQ(t.recordCount(), 2u);
    EXPECT_EQ(t.text(1, "ABREV"), "PRIMERO");
}

} // namespace
