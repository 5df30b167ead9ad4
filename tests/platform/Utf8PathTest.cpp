// Paths as UTF-8 texts: a planner's folders ("C:\Users\José Núñez\Documentos\...") reach the file system
// by their real names, and come back to the messages as they were typed.

#include "platform/PlatformFixture.h"

#include "platform/Files.h"
#include "platform/FolderLock.h"
#include "platform/IniFile.h"
#include "platform/Utf8Path.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

namespace pontrel::platform {
namespace {

namespace fs = std::filesystem;

TEST(Utf8Path, NamesTravelBothWaysUnchanged) {
    // Spanish letters, a euro sign (outside Latin-1) and Greek (outside every Western code page).
    for (const std::string name :
         {"José Núñez", "colegio Ñandú.xml", "Horario 2026-27", "cuota €", "Ωμέγα"}) {
        const fs::path path = pathFromUtf8(name);
        EXPECT_EQ(utf8Of(path), name);
        EXPECT_EQ(path.filename(), path) << name;
    }
#ifdef _WIN32
    // The wide name the system sees is the same text, letter for letter (a byte per character would give
    // "JosÃ© NÃºÃ±ez").
    EXPECT_EQ(pathFromUtf8("José Núñez").wstring(), L"Jos\u00e9 N\u00fa\u00f1ez");
    EXPECT_EQ(utf8Of(fs::path(L"\u03a9\u03bc\u03ad\u03b3\u03b1")), "Ωμέγα");
#endif
}

TEST(Utf8Path, FilesOfAnAccentedFolderAreFoundByTheirNames) {
    platformtest::ScratchFolder scratch;
    const fs::path folder = scratch.path() / pathFromUtf8("José Núñez") / pathFromUtf8("Horario 2026-27");
    fs::create_directories(folder);

    // The replacement of a document (its temporary name is built from the target's), the INI service
    // and the working folder's lock, all in the accented folder.
    const fs::path document = folder / pathFromUtf8("ResultadoDastelcolegio Ñandú.xml");
    ASSERT_FALSE(replaceFile(document, "<SERVICIO/>"));
    ASSERT_EQ(writeIniInteger(folder / "Velmora.ini", "Velmora", "Transformado", 1), 0);
    {
        FileLock lock;
        ASSERT_EQ(lock.tryAcquire(folder / pathFromUtf8("señal.lock")), 0);
        EXPECT_TRUE(fs::exists(folder / pathFromUtf8("señal.lock")));
    }

    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(utf8Of(entry.path().filename()));
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names.front(), "ResultadoDastelcolegio Ñandú.xml") << ::testing::PrintToString(names);
    EXPECT_NE(std::find(names.begin(), names.end(), "Velmora.ini"), names.end());

    File file;
    ASSERT_EQ(file.open(document, File::Access::Read, File::Sharing::Shared), 0);
    std::uint64_t size = 0;
    ASSERT_EQ(file.size(size), 0);
    EXPECT_EQ(size, 11u);
}

TEST(Utf8Path, WriterKeepsBackOnlyACharacterCutShort) {
    struct Case {
        std::string text;
        std::size_t complete;
    };
    const std::vector<Case> cases = {
        {"", 0},
        {"Núñez", 7},
        {"N\xC3", 1},            // ú's first byte
        {"\xE2\x82", 0},         // two bytes of three (€)
        {"a\xE2\x82\xAC", 4},    // the whole €
        {"\xF0\x9F\x98", 0},     // three bytes of four
        {"\xF0\x9F\x98\x80", 4}, // the whole four
        {"a\x80", 2},            // a stray continuation byte is not held back
        {"a\xFF", 2},            // nor a byte that never starts a sequence
        {"\xC3\xA9\xC3\xB1", 4}, // two whole sequences
    };
    for (const auto& c : cases)
        EXPECT_EQ(completeUtf8Length(c.text), c.complete) << ::testing::PrintToString(c.text);
}

} // namespace
} // namespace pontrel::platform
