// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/Console.h"

#include "platform/Utf8Path.h"
#include "platform/windows/WideText.h"

#include <iostream>
#include <streambuf>
#include <string>
#include <windows.h>

namespace pontrel::platform {

namespace {

bool isConsole(HANDLE handle) {
    DWORD mode = 0;
    return handle != nullptr && handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode) != 0;
}

// UTF-8 in, UTF-16 to the console. A character split between two writes waits in the buffer for
// its remaining bytes.
class ConsoleBuffer : public std::streambuf {
  public:
    explicit ConsoleBuffer(HANDLE console) : console_(console) {}

  protected:
    int_type overflow(int_type ch) override {
        if (traits_type::eq_int_type(ch, traits_type::eof()))
            return sync() == 0 ? traits_type::not_eof(ch) : traits_type::eof();
        pending_.push_back(traits_type::to_char_type(ch));
        if (pending_.size() >= 4096 || ch == '\n')
            return writeComplete() ? ch : traits_type::eof();
        return ch;
    }

    std::streamsize xsputn(const char* data, std::streamsize size) override {
        pending_.append(data, static_cast<std::size_t>(size));
        return writeComplete() ? size : 0;
    }

    int sync() override { return writeComplete() ? 0 : -1; }

  private:
    bool writeComplete() {
        const std::size_t length = completeUtf8Length(pending_);
        const std::wstring text = wideFromUtf8(std::string_view(pending_).substr(0, length));
        pending_.erase(0, length);
        const wchar_t* at = text.data();
        std::size_t left = text.size();
        while (left > 0) {
            DWORD written = 0;
            if (!WriteConsoleW(console_, at, static_cast<DWORD>(left), &written, nullptr) || written == 0)
                return false;
            at += written;
            left -= written;
        }
        return true;
    }

    HANDLE console_;
    std::string pending_;
};

std::ostream& consoleOr(DWORD which, std::ostream& bytes) {
    const HANDLE handle = GetStdHandle(which);
    if (!isConsole(handle))
        return bytes;
    // Built once per stream and never destroyed: messages may still be written while static objects go
    // away.
    // Flushed after every output operation: the stream is never destroyed, so nothing may wait in it
    // at the end, and a prompt must show before the program reads the answer.
    auto* stream = new std::ostream(new ConsoleBuffer(handle));
    stream->setf(std::ios::unitbuf);
    return *stream;
}

} // namespace

std::ostream& standardOutput() {
    static std::ostream& stream = consoleOr(STD_OUTPUT_HANDLE, std::cout);
    return stream;
}

std::ostream& standardError() {
    static std::ostream& stream = consoleOr(STD_ERROR_HANDLE, std::cerr);
    return stream;
}

bool standardStreamsAreTerminal() {
    return isConsole(GetStdHandle(STD_INPUT_HANDLE)) && isConsole(GetStdHandle(STD_OUTPUT_HANDLE));
}

} // namespace pontrel::platform
