#pragma once
// A document written as it grows, in the form libxml2 gives a saved tree, to a temporary file beside
// its output, and put in the output's place whole: a failure at any point, or an output abandoned
// before save(), leaves an earlier output as it was (Yedra rejects a half-written file).
//
// Markup and text collect in text() and go to libxml2's output buffer in large pieces; its encoding
// handler converts them to the declared encoding (a character that the encoding lacks becomes a
// character reference) and hands the bytes to the file. Every failure is an Error that names the
// document and the file.

#include "exchange/yedra/ReadBackAlong.h"
#include "exchange/yedra/XmlEscaping.h"
#include "platform/Files.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

typedef struct _xmlOutputBuffer xmlOutputBuffer;

namespace pontrel {

class YedraDocument;

class XmlOutput {
  public:
    // `document` names the document in messages, with its article ("el documento de horarios").
    explicit XmlOutput(std::string document);
    // Removes the temporary file of an output that was not saved.
    ~XmlOutput();
    XmlOutput(const XmlOutput&) = delete;
    XmlOutput& operator=(const XmlOutput&) = delete;

    // Opens the temporary file beside `target`, in the encoding that `source`'s declaration names
    // (UTF-8 for a document without one), and collects `source`'s prolog: the declaration as libxml2
    // writes a document's, then every node outside its root, unchanged and in its order. The new root
    // is for the caller to write after it.
    void start(const YedraDocument& source, const std::filesystem::path& target);

    // Said when the declared encoding is not one the output can be written in safely (UTF-7, UCS-2…)
    // and UTF-8 is written instead; empty otherwise.
    const std::string& encodingNote() const { return encodingNote_; }

    // Where the markup collects; texts go in it in textForm().
    std::string& text() { return pending_; }
    xml::TextForm textForm() const { return direct_ ? xml::TextForm::Latin1 : xml::TextForm::Utf8; }

    // Hands what has collected on towards the file.
    void passOn();
    // The same once enough has collected to be worth it.
    void passOnIfFull() {
        if (pending_.size() >= kPassOnSize)
            passOn();
    }
    // Hands on what has collected. From here on an ISO-8859-1 document (the encoding of the documents
    // that Yedra exports) takes its texts in that form and they go to the file as they are: the
    // round trip through UTF-8 and libxml2's converter would cost more than the rest of the writing.
    // Call it once the start of the document is written.
    void goDirect();

    // Completes the file, reads it back (a file that is not well-formed XML is an error, and replaces
    // nothing) and puts it at `target`, replacing an earlier output only once the new one is
    // completely on disk; a `target` in another folder than start()'s gets the bytes through a
    // temporary file of its own folder. Nothing can be written afterwards.
    void save(const std::filesystem::path& target);

  private:
    // What collects before it goes to libxml2's output buffer.
    static constexpr std::size_t kPassOnSize = 1 << 16;

    static int write(void* context, const char* bytes, int size);
    void open(const std::filesystem::path& target, const char* declaredEncoding);
    [[noreturn]] void failWrite(int error) const;
    [[noreturn]] void failBuffer() const;

    std::string document_;
    std::filesystem::path target_; // the output named at start()
    std::filesystem::path folder_; // where the temporary file lies
    std::string encoding_;
    std::string encodingNote_;
    platform::TemporaryFile file_; // beside the output, put in its place by save()
    std::uint64_t writtenBytes_ = 0;
    std::unique_ptr<ReadBackAlong> readBack_; // reads file_ back as it is written
    int writeError_ = 0;                      // system error of the first failed write
    bool discarding_ = false; // set when the output is abandoned: nothing more reaches the file
    xmlOutputBuffer* buffer_ = nullptr;
    std::string pending_;
    bool latin1_ = false; // the encoding is ISO-8859-1, which texts can be written in directly
    bool direct_ = false; // pending_ holds ISO-8859-1 and goes to the file as it is
};

} // namespace pontrel
