#include "exchange/yedra/XmlOutput.h"

#include "dbf/Error.h"
#include "dbf/TextFold.h"
#include "exchange/yedra/XmlEncodings.h"
#include "exchange/yedra/XmlFile.h"
#include "exchange/yedra/YedraDocument.h"
#include "platform/SystemError.h"
#include "platform/Utf8Path.h"

#include <libxml/encoding.h>
#include <libxml/tree.h>
#include <libxml/xmlIO.h>
#include <libxml/xmlerror.h>

#include <algorithm>
#include <cstring>

namespace pontrel {

namespace {

// libxml2's last error in Spanish.
std::string lastXmlMessage() {
    const xmlError* error = xmlGetLastError();
    if (!error || error->code == XML_ERR_OK)
        return "error desconocido de la biblioteca XML";
    return xmlErrorReason(*error);
}

// Which step of saving failed.
enum class SaveStep { Create, Write, Replace };

// The one form of a failed save: the document, the file, the step and the system's reason; once the
// temporary file exists, also that an earlier output is as it was.
Error saveError(const std::string& document, const std::filesystem::path& file, SaveStep step, int error) {
    const std::string start = "No se pudo guardar " + document + " «" + platform::utf8Of(file) + "»: ";
    const std::string reason = platform::errorReason(error);
    const char* const earlierKept = "). El documento anterior, si lo había, no se ha modificado.";
    switch (step) {
    case SaveStep::Create:
        return Error(start + "no se puede escribir en su carpeta (" + reason + ").");
    case SaveStep::Write:
        return Error(start + "la escritura falló (" + reason + earlierKept);
    default:
        return Error(start + "no se puede reemplazar (" + reason + earlierKept);
    }
}

SaveStep saveStepOf(platform::ReplaceStep step) {
    switch (step) {
    case platform::ReplaceStep::Create:
        return SaveStep::Create;
    case platform::ReplaceStep::Write:
        return SaveStep::Write;
    default:
        return SaveStep::Replace;
    }
}

// The encodings whose output reads back as it was written: UTF-8, UTF-16 with its byte-order mark,
// and the single-byte code pages that keep ASCII where it is (ISO-8859, windows-125x), in which a
// character they lack is written as a character reference. Others are not: libxml2 writes UTF-7
// that no reader takes, and UCS-2 through iconv with a byte-order mark at every buffer.
// The name the output is written in for a declared one; "" when the output goes in UTF-8 instead.
std::string safeOutputEncoding(std::string_view declared) {
    std::string key;
    for (const char c : declared)
        if (c != '-' && c != '_' && c != ' ')
            key += dbf::text::upperAscii(c);
    if (key == "UTF8")
        return "UTF-8";
    // UTF-16 without a mark (UTF-16LE and UTF-16BE as libxml2 writes them) needs a reader that guesses
    // the byte order; with it, every reader knows.
    if (key == "UTF16" || key == "UTF16LE" || key == "UTF16BE")
        return "UTF-16";
    const auto numbered = [&](std::string_view prefix, int low, int high) {
        if (key.rfind(prefix, 0) != 0 || key.size() == prefix.size() || key.size() > prefix.size() + 4)
            return false;
        const std::string digits = key.substr(prefix.size());
        if (!std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
            return false;
        const int number = std::stoi(digits);
        return number >= low && number <= high && number != 12; // ISO-8859-12 was never published
    };
    if (numbered("ISO8859", 1, 16) || numbered("WINDOWS", 1250, 1258) || numbered("CP", 1250, 1258) ||
        key == "LATIN1" || key == "USASCII" || key == "ASCII")
        return std::string(declared);
    return "";
}

// The file stays ours: it is flushed and put in place after the buffer is gone.
int keepOpen(void*) {
    return 0;
}

} // namespace

XmlOutput::XmlOutput(std::string document) : document_(std::move(document)) {}

XmlOutput::~XmlOutput() {
    discarding_ = true;
    if (buffer_)
        xmlOutputBufferClose(buffer_);
}

int XmlOutput::write(void* context, const char* bytes, int size) {
    auto* out = static_cast<XmlOutput*>(context);
    if (out->discarding_)
        return size;
    if (const int error = out->file_.write(bytes, static_cast<std::size_t>(size))) {
        out->writeError_ = error;
        return -1;
    }
    out->writtenBytes_ += static_cast<std::uint64_t>(size);
    out->readBack_->written(out->writtenBytes_);
    return size;
}

void XmlOutput::failWrite(int error) const {
    throw saveError(document_, target_, SaveStep::Write, error);
}

void XmlOutput::failBuffer() const {
    if (writeError_ != 0)
        failWrite(writeError_);
    throw Error("No se pudo preparar " + document_ + " «" + platform::utf8Of(target_) +
                "» en la codificación " + encoding_ + ": " + lastXmlMessage());
}

void XmlOutput::open(const std::filesystem::path& target, const char* declaredEncoding) {
    target_ = target;
    folder_ = target_.parent_path().empty() ? std::filesystem::path(".") : target_.parent_path();
    encoding_ = declaredEncoding;
    registerXmlEncodings();
    xmlCharEncodingHandler* handler = xmlFindCharEncodingHandler(encoding_.c_str());
    if (!handler)
        failBuffer();
    // A killed run leaves no file behind where the system allows it (see platform::TemporaryFile).
    if (const int error = file_.create(target_)) {
        xmlCharEncCloseFunc(handler);
        throw saveError(document_, target_, SaveStep::Create, error);
    }
    writtenBytes_ = 0;
    readBack_ = std::make_unique<ReadBackAlong>(file_);
    latin1_ = handler->name != nullptr && std::strcmp(handler->name, "ISO-8859-1") == 0;
    buffer_ = xmlOutputBufferCreateIO(&XmlOutput::write, &keepOpen, this, handler);
    if (!buffer_) {
        xmlCharEncCloseFunc(handler);
        throw Error("No se pudo preparar " + document_ + " «" + platform::utf8Of(target_) +
                    "»: " + lastXmlMessage());
    }
}

void XmlOutput::start(const YedraDocument& source, const std::filesystem::path& target) {
    xmlDoc* doc = source.xml();
    // The declaration's encoding is kept when the output reads back in it; otherwise, and for a
    // document without one, the output is UTF-8 and says so.
    const std::string declared = doc->encoding ? reinterpret_cast<const char*>(doc->encoding) : "UTF-8";
    std::string safe = safeOutputEncoding(declared);
    if (!safe.empty()) {
        registerXmlEncodings();
        if (xmlCharEncodingHandler* handler = xmlFindCharEncodingHandler(safe.c_str()))
            xmlCharEncCloseFunc(handler);
        else
            safe.clear(); // a build without that code page
    }
    if (safe.empty()) {
        safe = "UTF-8";
        encodingNote_ =
            "El documento de Yedra declara la codificación «" + declared + "», en la que " + document_ +
            " no se podría volver a leer con seguridad: se ha escrito en UTF-8, y así lo declara.";
    }
    const char* encoding = safe.c_str();
    xmlResetLastError();
    open(target, encoding);

    // The declaration as libxml2 writes a document's: its version, the encoding, its standalone.
    std::string& out = pending_;
    out += "<?xml version=\"";
    out += doc->version ? reinterpret_cast<const char*>(doc->version) : "1.0";
    out += "\" encoding=\"";
    out += encoding;
    out += '"';
    if (doc->standalone == 0)
        out += " standalone=\"no\"";
    else if (doc->standalone == 1)
        out += " standalone=\"yes\"";
    out += "?>\n";
    const xmlNode* oldRoot = xmlDocGetRootElement(doc);
    for (xmlNode* node = doc->children; node != nullptr; node = node->next) {
        if (node == oldRoot)
            continue;
        passOn();
        xmlNodeDumpOutput(buffer_, doc, node, 0, 1, encoding);
        out += '\n';
    }
}

void XmlOutput::passOn() {
    if (pending_.empty())
        return;
    if (direct_) {
        const int written = write(this, pending_.data(), static_cast<int>(pending_.size()));
        pending_.clear();
        if (written < 0)
            failWrite(writeError_);
        return;
    }
    const int written = xmlOutputBufferWrite(buffer_, static_cast<int>(pending_.size()), pending_.data());
    pending_.clear();
    if (written < 0)
        failBuffer();
}

void XmlOutput::goDirect() {
    passOn();
    if (!latin1_ || direct_)
        return;
    if (xmlOutputBufferFlush(buffer_) < 0)
        failBuffer();
    direct_ = true;
}

void XmlOutput::save(const std::filesystem::path& target) {
    passOn();
    if (xmlOutputBufferFlush(buffer_) < 0)
        failBuffer();
    xmlOutputBufferClose(buffer_);
    buffer_ = nullptr;
    if (writeError_ != 0)
        failWrite(writeError_);

    // Read back before it replaces anything: a document that does not read back as XML never reaches
    // the output's place, whatever made it so. Read from the file in pieces as they were written, the
    // last of them now.
    const ReadBackAlong::Outcome readBack = readBack_->complete();
    // A failed flush is the writing's failure (the system reports it once: the flush at commit()
    // might not report it again).
    if (readBack.flushError != 0)
        failWrite(readBack.flushError);
    if (readBack.readError != 0)
        failWrite(readBack.readError);
    if (readBack.reason)
        throw Error("No se ha guardado " + document_ + " «" + platform::utf8Of(target) +
                    "»: lo escrito no se puede volver a leer como XML (" + *readBack.reason +
                    "). El documento anterior, si lo había, no se ha modificado.");

    std::error_code ec;
    const auto targetFolder =
        target.parent_path().empty() ? std::filesystem::path(".") : target.parent_path();
    if (!std::filesystem::equivalent(targetFolder, folder_, ec)) {
        // Saved under another folder than the one started in: the bytes go there through a temporary
        // file of that folder.
        std::string written;
        if (const int error = file_.readAll(written))
            failWrite(error);
        if (const auto failure = platform::replaceFile(target, written))
            throw saveError(document_, target, saveStepOf(failure.step), failure.error);
        return;
    }
    if (const int error = file_.commit(target))
        throw saveError(document_, target, SaveStep::Replace, error);
}

} // namespace pontrel
