#include "exchange/yedra/ReadBackAlong.h"

#include "exchange/yedra/XmlFile.h"

#include <libxml/parser.h>

#include <algorithm>

namespace pontrel {

ReadBackAlong::ReadBackAlong(const platform::TemporaryFile& file) : file_(file) {
    // The library's settings that every parse shares are made here, before two threads use it.
    xmlInitParser();
    quietXmlLibrary();
    thread_ = std::thread([this] { read(); });
}

ReadBackAlong::~ReadBackAlong() {
    stop(true);
}

void ReadBackAlong::written(std::uint64_t total) {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        written_ = total;
    }
    more_.notify_one();
}

ReadBackAlong::Outcome ReadBackAlong::complete() {
    stop(false);
    return outcome_;
}

void ReadBackAlong::stop(bool abandoned) {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        complete_ = true;
        abandoned_ = abandoned_ || abandoned;
    }
    more_.notify_one();
    if (thread_.joinable())
        thread_.join();
}

void ReadBackAlong::read() {
    std::uint64_t readTo = 0;
    std::uint64_t flushedTo = 0;
    int readError = 0;
    int flushError = 0;
    auto reason = unreadableXmlReason(XmlPieces([&](char* data, std::size_t size) -> long {
        std::uint64_t available = 0;
        bool writing = false;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            more_.wait(lock, [&] { return written_ > readTo || complete_; });
            if (abandoned_)
                return -1;
            available = written_ - readTo;
            writing = !complete_;
        }
        // Only a complete file ends the reading: until then there is always a written byte to wait for.
        if (available == 0)
            return 0;
        // Once the writing is complete, the writer's own flush comes next and puts the rest on the disk.
        if (writing && readTo - flushedTo >= kFlushPiece) {
            if (const int error = file_.flushWritten()) {
                flushError = error;
                return -1;
            }
            flushedTo = readTo;
        }
        std::size_t got = 0;
        const auto wanted = static_cast<std::size_t>(std::min<std::uint64_t>(available, size));
        if (const int error = file_.readAt(readTo, reinterpret_cast<std::uint8_t*>(data), wanted, got)) {
            readError = error;
            return -1;
        }
        readTo += got;
        return static_cast<long>(got);
    }));
    outcome_.readError = readError;
    outcome_.flushError = flushError;
    outcome_.reason = std::move(reason);
}

} // namespace pontrel
