// The frame choice's rules that the dialog, pontrel-cli and the benchmark share: the selection string,
// the 1-to-5 rule with its two messages, and the selection string cut back into the chosen codes.

#include "export/FrameSelection.h"

#include <gtest/gtest.h>

namespace pontrel::exporting {
namespace {

struct SelectionCase {
    std::vector<std::string> selected; // raw codes, in list order
    std::string selection;
    bool accepted;
    std::string message;
};

TEST(FrameSelection, BuildsTenCharactersPerSelectedEntryAndAcceptsOneToFive) {
    const std::vector<SelectionCase> cases = {
        {{}, "", false, messages::kNoFrame},
        {{"JOR1"}, "JOR1      ", true, ""},
        // A leading blank is kept, a long code is cut, a code selected twice counts twice.
        {{" J2", "JORNADA-LARGA", " J2"}, " J2       JORNADA-LA J2       ", true, ""},
        {{"A", "B", "C", "D", "E"},
         std::string("A") + std::string(9, ' ') + "B" + std::string(9, ' ') + "C" + std::string(9, ' ') +
             "D" + std::string(9, ' ') + "E" + std::string(9, ' '),
         true,
         ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.selected));
        FrameSelection selection(7);
        for (const auto& code : c.selected)
            selection.add(code);
        const FrameChoice choice = selection.choice();
        EXPECT_EQ(choice.selection, c.selection);
        EXPECT_EQ(choice.accepted, c.accepted);
        EXPECT_EQ(choice.frameCount, 7);
        EXPECT_EQ(selection.message(), c.message);
    }
}

TEST(FrameSelection, SixSelectedAreRefusedButTheSelectionStringIsStillBuilt) {
    FrameSelection selection(6);
    for (int i = 0; i < 6; ++i)
        selection.add("M");
    EXPECT_FALSE(selection.accepted());
    EXPECT_EQ(selection.choice().selection.size(), 60u);
    EXPECT_EQ(selection.message(),
              "Demasiados Marcos Horarios seleccionados.\r\nComo máximo puede seleccionar 5 Marcos Horarios");
}

struct SplitCase {
    const char* name;
    std::string selection;
    int frameCount;
    std::array<std::string, kMostChosenFrames> codes;
    int dayCycle;
};

TEST(ChosenFrames, CutsTheSelectionIntoTrimmedCodesAndSettlesTheDayCycle) {
    const std::vector<SplitCase> cases = {
        {"one piece: a single frame, whatever the list held", "ORD       ", 4, {"ORD"}, 1},
        {"two pieces cycle over the whole frame list", " A        B         ", 5, {"A", "B"}, 5},
        {"the single frame's code of 12 characters", "ABCDEFGHIJKL", 1, {"ABCDEFGHIJ", "KL"}, 1},
        {"no frame count", "A         B         ", 0, {"A", "B"}, 1},
        {"more than five pieces: the first five",
         std::string(60, 'M'),
         6,
         {"MMMMMMMMMM", "MMMMMMMMMM", "MMMMMMMMMM", "MMMMMMMMMM", "MMMMMMMMMM"},
         6},
        {"empty", "", 3, {}, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const ChosenFrames chosen = chosenFrames(c.selection, c.frameCount);
        EXPECT_EQ(chosen.codes, c.codes);
        EXPECT_EQ(chosen.dayCycle, c.dayCycle);
    }
    // A chosen code left empty takes a slot without a frame code.
    EXPECT_TRUE(chosenFrames("A         B         ", 2).chosen(""));
    EXPECT_FALSE(chosenFrames("A         B         ", 2).chosen("a"));
}

} // namespace
} // namespace pontrel::exporting
