#pragma once
// The read-back of a document while it is being written: a thread of its own reads the file's bytes as
// far as they are written, in pieces, through the XML parser that only checks them, and waits for more
// until the writer says the file is complete. The check is the same as reading the finished file back
// (every byte that reaches the file is read from the file), but it runs beside the writing instead of
// after it, so a run waits for little more than its last piece.

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
