#include "exchange/XmlOutput.h"

#include "dbf/Error.h"
#include "exchange/XmlEncodings.h"
#include "exchange/XmlFile.h"
#include "exchange/YedraDocument.h"
#include "platform/SystemError.h"
#include "platform/Utf8Path.h"

#include <libxml/encoding.h>
#include <libxml/tree.h>
#include <libxml/xmlIO.h>
#include <libxml/xmlerror.h>

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
    // The declaration's encoding is kept; a document without one is written as UTF-8.
    const char* encoding = doc->encoding ? reinterpret_cast<const char*>(doc->encoding) : "UTF-8";
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

    std::error_code ec;
    const auto targetFolder =
        target.parent_path().empty() ? std::filesystem::path(".") : target.parent_path();
    if (!std::filesystem::equivalent(targetFolder, folder_, ec)) {
        // Saved under another folder than the one started in: the bytes go there through a temporary
        // file of that folder.
        std::string bytes;
        if (const int error = file_.readAll(bytes))
            failWrite(error);
        if (const auto failure = platform::replaceFile(target, bytes))
            throw saveError(document_, target, saveStepOf(failure.step), failure.error);
        return;
    }
    if (const int error = file_.commit(target))
        throw saveError(document_, target, SaveStep::Replace, error);
}

} // namespace pontrel
