// The result file: one value set, every other byte kept (the editor used where the system has no INI
// service, and the service itself on Windows).

#include "platform/PlatformFixture.h"

#include "platform/IniFile.h"
#include "platform/SystemError.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace pontrel::platform {
namespace {

using platformtest::readFile;
using platformtest::ScratchFolder;

struct IniCase {
    const char* name;
    std::string before;
    std::string after;
};

class IniEdit : public ::testing::TestWithParam<IniCase> {};

TEST_P(IniEdit, SetsTransformadoAndKeepsTheRest) {
    EXPECT_EQ(withIniValue(GetParam().before, "Transformadores", "Transformado", "-1"), GetParam().after);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, IniEdit,
    ::testing::Values(IniCase{"EmptyFile", "", "[Transformadores]\r\nTransformado=-1\r\n"},
                      IniCase{"SectionMissingLF", "[Velmora]\nRuta=C:\\VTEMP\n",
                              "[Velmora]\nRuta=C:\\VTEMP\n[Transformadores]\nTransformado=-1\n"},
                      IniCase{"SectionMissingNoFinalEnding", "[Velmora]\r\nRuta=x",
                              "[Velmora]\r\nRuta=x\r\n[Transformadores]\r\nTransformado=-1\r\n"},
                      IniCase{"KeyReplacedOthersKept",
                              "; "
                              "Velmora\r\n[Transformadores]\r\nOtro=5\r\nTransformado=1\r\nMas=2\r\n[Otra]"
                              "\r\nTransformado=9\r\n",
                              "; "
                              "Velmora\r\n[Transformadores]\r\nOtro=5\r\nTransformado=-1\r\nMas=2\r\n[Otra]"
                              "\r\nTransformado=9\r\n"},
                      IniCase{"CaseIgnoredSpellingAndSpacingKept", "[ transformadores ]\nTRANSFORMADO = 1\n",
                              "[ transformadores ]\nTRANSFORMADO = -1\n"},
                      IniCase{"CommentedKeyIsNotTheKey",
                              "[Transformadores]\n;Transformado=1\nOtro=3\n\n[Sig]\nA=1\n",
                              "[Transformadores]\n;Transformado=1\nOtro=3\nTransformado=-1\n\n[Sig]\nA=1\n"},
                      IniCase{"EmptySectionGetsKeyRightAfterIt", "[Transformadores]\r\n[Sig]\r\nA=1\r\n",
                              "[Transformadores]\r\nTransformado=-1\r\n[Sig]\r\nA=1\r\n"},
                      IniCase{"KeyInLastLineWithoutEnding", "[Transformadores]\nTransformado=0",
                              "[Transformadores]\nTransformado=-1"},
                      IniCase{"NewKeyAfterLastLineWithoutEnding", "[Transformadores]\nA=0",
                              "[Transformadores]\nA=0\nTransformado=-1\n"},
                      IniCase{"FirstOfTwoSectionsWins",
                              "[Transformadores]\nTransformado=1\n[Transformadores]\nTransformado=2\n",
                              "[Transformadores]\nTransformado=-1\n[Transformadores]\nTransformado=2\n"},
                      IniCase{"ByteOrderMarkAndLatin1Kept",
                              "\xEF\xBB\xBF[Transformadores]\nNombre=Espa\xF1"
                              "a\nTransformado=1\n",
                              "\xEF\xBB\xBF[Transformadores]\nNombre=Espa\xF1"
                              "a\nTransformado=-1\n"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(IniFile, CreatesAMissingFileAndRewritesAnExistingOne) {
    ScratchFolder dir;
    const std::filesystem::path file = dir / "Velmora.ini";
    ASSERT_EQ(writeIniInteger(file, "Transformadores", "Transformado", 1), 0);
    EXPECT_EQ(readFile(file), "[Transformadores]\r\nTransformado=1\r\n");
    ASSERT_EQ(writeIniInteger(file, "Transformadores", "Transformado", -1), 0);
    EXPECT_EQ(readFile(file), "[Transformadores]\r\nTransformado=-1\r\n");
    EXPECT_EQ(platformtest::entriesIn(dir.path()), 1u);
}

TEST(IniFile, OtherSectionsAndCommentsOfVelmoraStay) {
    ScratchFolder dir;
    const std::filesystem::path file = dir / "Velmora.ini";
    platformtest::writeFile(
        file, "; Velmora\r\n[Rutas]\r\nTrabajo=C:\\VTEMP\r\n[Transformadores]\r\nTransformado=0\r\n");
    ASSERT_EQ(writeIniInteger(file, "transformadores", "TRANSFORMADO", 1), 0);
    const std::string after = readFile(file);
    EXPECT_NE(after.find("; Velmora\r\n[Rutas]\r\nTrabajo=C:\\VTEMP\r\n"), std::string::npos) << after;
    EXPECT_NE(after.find("=1\r\n"), std::string::npos) << after;
    EXPECT_EQ(after.find("=0"), std::string::npos) << after;
}

TEST(IniFile, AFileThatCannotBeWrittenGivesItsReason) {
    ScratchFolder dir;
    // A program folder that has gone away, and a result "file" that is a folder.
    const std::filesystem::path missing = dir / "no-existe" / "Velmora.ini";
    const std::filesystem::path blocked = dir / "Velmora.ini";
    std::filesystem::create_directory(blocked);
    platformtest::writeFile(blocked / "dentro.txt", "x");
    for (const auto& file : {missing, blocked}) {
        const int error = writeIniInteger(file, "Transformadores", "Transformado", -1);
        EXPECT_NE(error, 0) << file;
        EXPECT_EQ(errorReason(error).find("error del sistema"), std::string::npos) << errorReason(error);
    }
    EXPECT_EQ(readFile(blocked / "dentro.txt"), "x");
    EXPECT_EQ(platformtest::entriesIn(dir.path()), 1u);
}

} // namespace
} // namespace pontrel::platform
