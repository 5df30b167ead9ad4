#pragma once
// The frame choice's rules, in one place for every front end that asks for frames (the window's
// dialog, pontrel-cli, the benchmark) and for the frames step that reads the answer: the selection
// string of 10 characters per chosen frame, the choice of 1 to 5 frames and the two messages that
// refuse any other, and the selection string cut back into the chosen frame codes.

#include "exchange/runs/Messages.h"
#include "exchange/runs/UserInterface.h"

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

namespace pontrel::exporting {

// A frame code takes 10 characters of the selection string, filled with blanks or cut.
inline constexpr std::size_t kFrameCodeWidth = 10;
inline constexpr std::size_t kMostChosenFrames = 5;

// A choice being made over a frame list: the selected entries are added in list order.
class FrameSelection {
  public:
    // `frameCount`: the number of entries in the frame list, selected or not.
    explicit FrameSelection(int frameCount) : frameCount_(frameCount) {}

    // One selected entry, by its raw code (ANSI): blanks are kept, and the code is filled or cut to
    // 10 characters. A code listed twice counts twice.
    void add(std::string_view rawCode);

    std::size_t selectedCount() const { return selected_; }
    // 1 to 5 entries selected.
    bool accepted() const { return selected_ >= 1 && selected_ <= kMostChosenFrames; }
    // The message shown when the choice is closed; empty when it is accepted.
    std::string message() const { return message(selected_); }
    static std::string message(std::size_t selectedCount);

    // The hand-back value: the selection string (built also when the choice is refused), whether
    // it is accepted, and the frame count.
    FrameChoice choice() const { return FrameChoice{selection_, accepted(), frameCount_}; }

  private:
    int frameCount_;
    std::size_t selected_ = 0;
    std::string selection_;
};

// The frames a selection string names, as the frames step uses them.
struct ChosenFrames {
    std::array<std::string, kMostChosenFrames> codes; // trimmed; the ones not chosen are empty
    int dayCycle = 1;                                 // slot records per turn of the day counter

    // Exactly, letter case significant; an empty code matches a chosen code left empty.
    bool chosen(const std::string& frameCode) const;
};

// The selection string cut into its pieces of 10, each trimmed. A string of one piece names a single
// frame, and then the day counter does not cycle whatever the frame list held; otherwise it cycles
// over `frameCount` (the frame list's entries, not the chosen ones).
ChosenFrames chosenFrames(std::string_view selection, int frameCount);

} // namespace pontrel::exporting
