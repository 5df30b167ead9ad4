#pragma once
// The read-back of a document while it is being written: a thread of its own reads the file's bytes as
// far as they are written, in pieces, through the XML parser that only checks them, and waits for more
// until the writer says the file is complete. The check is the same as reading the finished file back
// (every byte that reaches the file is read from the file), but it runs beside the writing instead of
// after it, so a run waits for little more than its last piece.
//
// The same thread puts the file on the disk as it goes, every few megabytes read: the disk's own cache
// then holds little by the time the writer flushes the whole file before putting it in its place, and
// that flush, which waits for all of it, waits for little more than the last piece too.

#include "platform/Files.h"

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace pontrel {

class ReadBackAlong {
  public:
    struct Outcome {
        int readError = 0;                 // the system's error when the file could not be read
        int flushError = 0;                // the system's error when it could not be put on the disk
        std::optional<std::string> reason; // why what was written is not XML; none when it is
    };

    // Starts reading `file`, which must outlive this object, from its first byte.
    explicit ReadBackAlong(const platform::TemporaryFile& file);
    // An abandoned writing: the reading stops where it is and is waited for.
    ~ReadBackAlong();
    ReadBackAlong(const ReadBackAlong&) = delete;
    ReadBackAlong& operator=(const ReadBackAlong&) = delete;

    // The file now holds `total` bytes.
    void written(std::uint64_t total);
    // Nothing more will be written: waits for the reading to reach the end and gives its outcome.
    Outcome complete();

  private:
    // How much is read between two flushes: large enough that a flush costs little more than the disk
    // takes to store what it flushes.
    static constexpr std::uint64_t kFlushPiece = 16 * 1024 * 1024;

    void read();
    void stop(bool abandoned);

    const platform::TemporaryFile& file_;
    std::mutex mutex_;
    std::condition_variable more_;
    std::uint64_t written_ = 0;
    bool complete_ = false;
    bool abandoned_ = false;
    Outcome outcome_;
    std::thread thread_;
};

} // namespace pontrel
