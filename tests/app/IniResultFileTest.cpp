// The result file: one value set, every other byte kept.

#include "app/IniResultFile.h"

#include "dbf/Error.h"

#include <QTemporaryDir>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>

using pontrel::app::withIniValue;
using pontrel::app::writeIniValue;

namespace {

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

std::string readAll(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST(IniFile, CreatesAMissingFileAndRewritesAnExistingOne) {
    QTemporaryDir dir;
    const std::filesystem::path file = std::filesystem::path(dir.path().toStdString()) / "Velmora.ini";
    writeIniValue(file, "Transformadores", "Transformado", "1");
    EXPECT_EQ(readAll(file), "[Transformadores]\r\nTransformado=1\r\n");
    writeIniValue(file, "Transformadores", "Transformado", "0");
    EXPECT_EQ(readAll(file), "[Transformadores]\r\nTransformado=0\r\n");
    EXPECT_FALSE(std::filesystem::exists(file.string() + ".tmp"));
}

TEST(IniFile, AFileThatCannotBeWrittenGivesAClearErrorNamingIt) {
    QTemporaryDir dir;
    const std::filesystem::path folder = dir.path().toStdString();
    // A program folder that has gone away, and a result "file" that is a folder.
    const std::filesystem::path missing = folder / "no-existe" / "Velmora.ini";
    const std::filesystem::path blocked = folder / "Velmora.ini";
    std::filesystem::create_directory(blocked);
    std::ofstream(blocked / "dentro.txt") << "x";
    for (const auto& file : {missing, blocked}) {
        try {
            writeIniValue(file, "Transformadores", "Transformado", "-1");
            ADD_FAILURE() << "no error for " << file;
        } catch (const pontrel::Error& error) {
            EXPECT_NE(std::string(error.what()).find(file.string()), std::string::npos) << error.what();
        }
    }
    EXPECT_EQ(readAll(blocked / "dentro.txt"), "x");
    EXPECT_FALSE(std::filesystem::exists(folder / "Velmora.ini.tmp"));
}

} // namespace
