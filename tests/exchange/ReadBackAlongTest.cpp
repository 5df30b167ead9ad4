// A document read back while it is written, and put on the disk piece by piece as it goes: a large one
// (several of the pieces the reading flushes) reads back whole and unchanged, a broken one is told with
// its line.

#include "support/ScratchFolder.h"

#include "exchange/yedra/ReadBackAlong.h"
#include "platform/Files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>

namespace pontrel {
namespace {

// About `megabytes` of records, as many lines as records; `closed` says whether the root is closed.
std::string largeDocument(int megabytes, bool closed) {
    std::string text = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<SERVICIO>\n";
    const std::string row = "  <dato nombre_dato=\"X_EMPLEADO\">valor \xE1\xE9 0123456789</dato>\n";
    while (text.size() < static_cast<std::size_t>(megabytes) * 1024 * 1024)
        text += row;
    if (closed)
        text += "</SERVICIO>\n";
    return text;
}

// Writes `text` in the pieces a document's writer hands on, telling the reading after each, at about
// the pace a run makes them: the reading keeps up, and flushes what it read while the writing goes on.
ReadBackAlong::Outcome writeAlong(platform::TemporaryFile& file, const std::string& text) {
    ReadBackAlong readBack(file);
    constexpr std::size_t kPiece = 64 * 1024;
    for (std::size_t at = 0; at < text.size(); at += kPiece) {
        const std::size_t n = std::min(kPiece, text.size() - at);
        EXPECT_EQ(file.write(text.data() + at, n), 0);
        readBack.written(at + n);
        if ((at / kPiece) % 16 == 15)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return readBack.complete();
}

TEST(ReadBackAlong, LargeDocumentReadsBackWholeWhileItGoesToDisk) {
    testing::ScratchFolder folder;
    const auto target = folder.path() / "Resultado.xml";
    const std::string text = largeDocument(40, true);
    platform::TemporaryFile file;
    ASSERT_EQ(file.create(target), 0);
    const ReadBackAlong::Outcome outcome = writeAlong(file, text);
    EXPECT_EQ(outcome.readError, 0);
    EXPECT_EQ(outcome.flushError, 0);
    EXPECT_EQ(outcome.reason, std::nullopt) << *outcome.reason;
    ASSERT_EQ(file.commit(), 0);
    std::ifstream in(target, std::ios::binary);
    const std::string back((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_TRUE(back == text) << "el archivo guarda " << back.size() << " bytes de " << text.size();
}

TEST(ReadBackAlong, BrokenEndOfALargeDocumentIsToldWithItsLine) {
    testing::ScratchFolder folder;
    const std::string text = largeDocument(20, false);
    platform::TemporaryFile file;
    ASSERT_EQ(file.create(folder.path() / "Resultado.xml"), 0);
    const ReadBackAlong::Outcome outcome = writeAlong(file, text);
    EXPECT_EQ(outcome.flushError, 0);
    ASSERT_TRUE(outcome.reason.has_value());
    const std::string lines = std::to_string(std::count(text.begin(), text.end(), '\n') + 1);
    EXPECT_EQ(outcome.reason->rfind("línea " + lines + ":", 0), 0u) << *outcome.reason;
}

} // namespace
} // namespace pontrel
