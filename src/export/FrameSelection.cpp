#include "export/FrameSelection.h"

#include "exchange/text/Ansi.h"

namespace pontrel::exporting {

void FrameSelection::add(std::string_view rawCode) {
    ++selected_;
    std::string piece(rawCode.substr(0, kFrameCodeWidth));
    piece.resize(kFrameCodeWidth, ' ');
    selection_ += piece;
}

std::string FrameSelection::message(std::size_t selectedCount) {
    if (selectedCount > kMostChosenFrames)
        return messages::kTooManyFrames;
    if (selectedCount == 0)
        return messages::kNoFrame;
    return {};
}

bool ChosenFrames::chosen(const std::string& frameCode) const {
    for (const auto& code : codes)
        if (code == frameCode)
            return true;
    return false;
}

ChosenFrames chosenFrames(std::string_view selection, int frameCount) {
    ChosenFrames result;
    if (selection.size() > kFrameCodeWidth) {
        for (std::size_t i = 0; i < kMostChosenFrames; ++i)
            if (i * kFrameCodeWidth < selection.size())
                result.codes[i] =
                    std::string(ansi::trimControls(selection.substr(i * kFrameCodeWidth, kFrameCodeWidth)));
        result.dayCycle = frameCount < 1 ? 1 : frameCount;
    } else {
        result.codes[0] = std::string(ansi::trimControls(selection.substr(0, kFrameCodeWidth)));
    }
    return result;
}

} // namespace pontrel::exporting
