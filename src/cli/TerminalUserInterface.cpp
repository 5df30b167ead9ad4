#include "cli/TerminalUserInterface.h"

#include "cli/CommandLine.h"
#include "exchange/runs/DocumentChoice.h"
#include "exchange/text/Ansi.h"
#include "exchange/yedra/YedraDocument.h"
#include "exchange/yedra/YedraGroups.h"

#include <istream>
#include <ostream>

namespace pontrel::cli {

namespace fs = std::filesystem;
namespace jornadas = yedra::jornadasEscolares;

namespace {

std::string shown(std::string_view ansi) {
    return ansi::toUtf8(ansi::trimControls(ansi));
}

// The frame list of the dialog: the raw code of every JORNADAS_ESCOLARES record, in document order.
std::vector<std::string> frameEntries(const std::vector<YedraRecord>& frames) {
    std::vector<std::string> entries;
    for (const auto& frame : frames)
        entries.push_back(frame.rawValue(jornadas::kCode));
    return entries;
}

// "JOR1 (Jornada de mañana), JOR2 (Jornada de tarde)": the document's frames for a message.
std::string frameList(const std::vector<YedraRecord>& frames) {
    std::string list;
    for (const auto& frame : frames) {
        list += (list.empty() ? "" : ", ") + shown(frame.rawValue(jornadas::kCode));
        const std::string name = shown(frame.rawValue(jornadas::kName));
        if (!name.empty())
            list += " (" + name + ")";
    }
    return list;
}

std::string quotedCodes(const std::vector<std::string>& codes) {
    std::string text;
    for (const auto& code : codes)
        text += (text.empty() ? "" : ", ") + std::string("«") + ansi::toUtf8(code) + "»";
    return text;
}

// Said when some of the codes given name no frame of the document: which ones, and which frames there are.
std::string unknownCodesMessage(const std::vector<std::string>& unknown,
                                const std::vector<YedraRecord>& frames) {
    return std::string(unknown.size() == 1 ? "Ningún marco horario del documento tiene el código "
                                           : "Ningún marco horario del documento tiene los códigos ") +
           quotedCodes(unknown) + ". Marcos horarios del documento: " + frameList(frames) + ".";
}

} // namespace

std::vector<std::string> unknownFrameCodes(const std::vector<std::string>& entries,
                                           const std::vector<std::string>& codes) {
    std::vector<std::string> unknown;
    for (const auto& wanted : codes) {
        const std::string_view given = ansi::trimControls(wanted);
        bool found = false;
        for (const auto& entry : entries)
            found = found || given == ansi::trimControls(entry);
        if (!found)
            unknown.push_back(std::string(given));
    }
    return unknown;
}

FrameChoice selectFrames(const std::vector<std::string>& entries, const std::vector<std::string>& codes) {
    exporting::FrameSelection selection(static_cast<int>(entries.size()));
    for (const auto& entry : entries) {
        const std::string_view code = ansi::trimControls(entry);
        bool picked = false;
        for (const auto& wanted : codes) {
            const std::string_view given = ansi::trimControls(wanted);
            if (!given.empty() && given == code)
                picked = true;
        }
        if (picked)
            selection.add(entry);
    }
    return selection.choice();
}

std::string frameChoiceMessage(const FrameChoice& choice) {
    return exporting::FrameSelection::message(choice.selection.size() / exporting::kFrameCodeWidth);
}

std::vector<std::string> splitCodes(const std::string& utf8List) {
    std::vector<std::string> codes;
    std::size_t start = 0;
    for (;;) {
        const auto comma = utf8List.find(',', start);
        const std::string piece =
            utf8List.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        const std::string code(ansi::trimControls(ansi::fromUtf8(piece)));
        if (!code.empty())
            codes.push_back(code);
        if (comma == std::string::npos)
            return codes;
        start = comma + 1;
    }
}

TerminalUserInterface::TerminalUserInterface(std::istream& in, std::ostream& out, std::ostream& err,
                                             bool interactive)
    : in_(in), out_(out), err_(err), interactive_(interactive) {}

std::optional<fs::path> TerminalUserInterface::chooseDocument() {
    if (!document_)
        return std::nullopt;
    std::error_code ec;
    const fs::path full = fs::absolute(*document_, ec);
    return ec ? *document_ : full;
}

void TerminalUserInterface::showMessage(const std::string& text) {
    // The window's box says only "No existe archivo"; a terminal names the file it looked for.
    if (text == messages::kNoDocument && document_) {
        const auto full = chooseDocument();
        messages_.push_back(text + ": " + full->string());
        return;
    }
    messages_.push_back(text);
}

void TerminalUserInterface::reportMessages(bool completed) {
    for (const auto& message : messages_) {
        if (completed)
            out_ << terminalText(message) << '\n';
        else
            cli::reportError(err_, message);
    }
    out_.flush();
    messages_.clear();
}

void TerminalUserInterface::reportError(const std::string& error) {
    reportMessages(false);
    cli::reportError(err_, error);
}

void TerminalUserInterface::framesTakenWithoutChoice(const std::vector<YedraRecord>& frames) {
    // Codes given for a document whose only frame is taken, or that has none, are not used.
    if (frameCodes_)
        cli::reportError(err_, "aviso: " +
                                   (frames.empty() ? std::string("el documento no tiene marcos horarios")
                                                   : "el documento tiene un solo marco horario, " +
                                                         frameList(frames) + ", que se toma sin elegir") +
                                   "; no se ha usado --frames.");
}

FrameChoice TerminalUserInterface::chooseFrames(const fs::path&, const std::vector<YedraRecord>& frames) {
    const auto entries = frameEntries(frames);
    if (frameCodes_) {
        const auto unknown = unknownFrameCodes(entries, *frameCodes_);
        if (!unknown.empty()) {
            reportError(unknownCodesMessage(unknown, frames) + " No se ha cambiado ninguna tabla.");
            throw StopReported();
        }
        FrameChoice choice = selectFrames(entries, *frameCodes_);
        if (!choice.accepted) {
            reportError(frameChoiceMessage(choice));
            throw StopReported();
        }
        return choice;
    }
    if (interactive_)
        return askForFrames(frames);
    std::string codes;
    for (const auto& entry : entries)
        codes += (codes.empty() ? "" : ", ") + shown(entry);
    reportError(
        "El documento tiene " + std::to_string(entries.size()) + " marcos horarios (" + codes +
        "). Indique con --frames COD[,COD...] cuáles recoger en Velmora (de 1 a 5); no se ha cambiado "
        "ninguna tabla.");
    throw StopReported();
}

FrameChoice TerminalUserInterface::askForFrames(const std::vector<YedraRecord>& frames) {
    const auto entries = frameEntries(frames);
    out_ << "Marcos horarios del documento:\n";
    for (const auto& frame : frames)
        out_ << "  " << shown(frame.rawValue(jornadas::kCode)) << "  "
             << shown(frame.rawValue(jornadas::kName)) << "  " << shown(frame.rawValue(jornadas::kStartDate))
             << " - " << shown(frame.rawValue(jornadas::kEndDate)) << '\n';
    // As with the dialog, a choice of no frame or of more than five is refused and asked again.
    for (;;) {
        out_ << "Códigos de los marcos que desea recoger en Velmora, separados por comas (de 1 a 5): "
             << std::flush;
        std::string line;
        if (!std::getline(in_, line)) {
            out_ << '\n';
            reportError("No se ha elegido ningún marco horario; no se ha cambiado ninguna tabla.");
            throw StopReported();
        }
        const auto codes = splitCodes(line);
        const auto unknown = unknownFrameCodes(entries, codes);
        if (!unknown.empty()) {
            cli::reportError(err_, unknownCodesMessage(unknown, frames));
            continue;
        }
        FrameChoice choice = selectFrames(entries, codes);
        if (choice.accepted)
            return choice;
        cli::reportError(err_, frameChoiceMessage(choice));
    }
}

void TerminalUserInterface::completeTeacherKeys(const fs::path& proftTable) {
    if (teacherKeys_)
        teacherKeys_(proftTable);
}

void TerminalUserInterface::reportProgress(const StepProgress& step) {
    if (!interactive_)
        return;
    out_ << "  " << step.step << ": " << step.recordsRead << " registros leídos";
    if (!step.tablesWritten.empty())
        out_ << " -> " << step.tablesWritten;
    out_ << '\n' << std::flush;
}

std::string terminalText(std::string text) {
    for (auto at = text.find("\n\r"); at != std::string::npos; at = text.find("\n\r", at + 1))
        text.erase(at + 1, 1);
    return text;
}

} // namespace pontrel::cli
