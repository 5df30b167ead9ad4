#include "CommandOutcome.h"

#include "dbf/Table.h"
#include "support/Bytes.h"
#include "support/ScratchFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

namespace pontrel::cli {
namespace {

namespace fs = std::filesystem;
using testing::ScratchFolder;

CommandOutcome dump(const std::vector<std::string>& args) {
    return runCapturingStandardStreams([&] { return dumpCommand(args); });
}

TEST(DumpCommand, WritesEveryTypeAsCsvInUtf8) {
    ScratchFolder folder;
    const fs::path file = folder.path() / "PRUEBA.DBF";
    dbf::Table::create(
        file, {{"COD", 'C', 10}, {"NOMBRE", 'C', 40}, {"DNI", 'I'}, {"ESTAREA", 'L'}, {"HORAS", 'O'}});
    {
        dbf::Table table = dbf::Table::open(file, dbf::OpenMode::Exclusive, dbf::Access::ReadWrite);
        dbf::RecordBuffer r;
        r.setText("COD", "MAT  ");
        r.setText("NOMBRE", "Matem\xE1ticas, 1\xBA \x80"); // Matemáticas, 1º €
        r.setInteger("DNI", -42);
        r.setBool("ESTAREA", true);
        r.setDouble("HORAS", 2.5);
        table.append(r);

        dbf::RecordBuffer quotes;
        quotes.setText("COD", "A\"B");
        quotes.setText("NOMBRE", "l\xEDnea 1\nl\xEDnea 2");
        quotes.setBool("ESTAREA", false);
        quotes.setDouble("HORAS", -0.125);
        table.append(quotes);

        table.append(dbf::RecordBuffer{}); // every field NULL
        table.close();
    }

    const CommandOutcome result = dump({file.string()});
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(result.out, "COD,NOMBRE,DNI,ESTAREA,HORAS\n"
                          "MAT,\"Matemáticas, 1º €\",-42,T,2.5\n"
                          "\"A\"\"B\",\"línea 1\nlínea 2\",,F,-0.125\n"
                          ",,,,\n");
}

TEST(DumpCommand, ReadsATableWrittenByAnotherProgram) {
    const fs::path fixture = fs::path(PONTREL_TEST_DATA_DIR) / "dbf" / "other-writers" / "dbase_03.dbf";
    ASSERT_TRUE(fs::is_regular_file(fixture)) << "fixture missing from the repository: " << fixture;
    const CommandOutcome result = dump({fixture.string()});
    ASSERT_EQ(result.status, 0) << result.err;
    const std::string header = result.out.substr(0, result.out.find('\n'));
    EXPECT_EQ(header,
              "Point_ID,Type,Shape,Circular_D,Non_circul,Flow_prese,Condition,Comments,Date_Visit,Time,"
              "Max_PDOP,Max_HDOP,Corr_Type,Rcvr_Type,GPS_Date,GPS_Time,Update_Sta,Feat_Name,Datafile,"
              "Unfilt_Pos,Filt_Pos,Data_Dicti,GPS_Week,GPS_Second,GPS_Height,Vert_Prec,Horz_Prec,Std_Dev,"
              "Northing,Easting,Point_ID");
    std::size_t lines = 0;
    for (char c : result.out)
        lines += c == '\n';
    EXPECT_EQ(lines, 15u); // the header and 14 records
}

// Records past the header's count are shown with the others, and the reader is told.
TEST(DumpCommand, RecordsPastTheHeaderCountAreShownAndSaid) {
    ScratchFolder folder;
    const fs::path file = folder.path() / "SOLUC.DBF";
    dbf::Table::create(file, {{"COD", 'C', 3}});
    {
        auto table = dbf::Table::open(file, dbf::OpenMode::Exclusive, dbf::Access::ReadWrite);
        for (const char* code : {"A", "B", "C"}) {
            dbf::RecordBuffer r;
            r.setText("COD", code);
            table.append(r);
        }
    }
    std::string bytes = testing::readFile(file);
    testing::putLe32(bytes, 4, 1);
    testing::writeFile(file, bytes);
    const CommandOutcome result = dump({file.string()});
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out, "COD\nA\nB\nC\n");
    EXPECT_NE(result.err.find("guarda 3 registros, pero su cabecera solo cuenta 1"), std::string::npos)
        << result.err;
}

TEST(DumpCommand, UnreadableFilesStopWithStatus1) {
    ScratchFolder folder;
    struct BadCase {
        const char* name;
        fs::path file;
    };
    const std::vector<BadCase> cases = {
        {"Missing", folder.path() / "NOESTA.DBF"},
        {"Folder", folder.path()},
        {"Empty", folder.write("VACIA.DBF", "")},
        {"NotATable", folder.write("TEXTO.DBF", "Esto no es una tabla de dBase, solo texto sin cabecera.\n")},
    };
    for (const BadCase& c : cases) {
        SCOPED_TRACE(c.name);
        const CommandOutcome result = dump({c.file.string()});
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(result.out, "");
        EXPECT_NE(result.err.find(c.file.string()), std::string::npos) << result.err;
    }
}

// A text file whose first byte happens to be that of a dBase level ('c' is 0x63, level 3): its lines
// are not shown as field names, the file is called no table.
TEST(DumpCommand, TextThatLooksLikeAHeaderIsNoTable) {
    ScratchFolder folder;
    std::string csv = "codigo;nombre\n";
    while (csv.size() < 40000)
        csv += "1;Ana Perez Gomez\n";
    const fs::path file = folder.write("ALUMNOS.DBF", csv);
    const CommandOutcome result = dump({file.string()});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.out, "");
    EXPECT_NE(result.err.find(
                  "no es una tabla dBase: la descripción del campo 1 no tiene un nombre de campo válido"),
              std::string::npos)
        << result.err;
    EXPECT_EQ(result.err.find("Ana"), std::string::npos) << result.err;
}

TEST(DumpCommand, UsageErrorsGiveStatus2) {
    for (const std::vector<std::string>& args :
         std::vector<std::vector<std::string>>{{}, {"A.DBF", "B.DBF"}, {""}}) {
        const CommandOutcome result = dump(args);
        EXPECT_EQ(result.status, 2);
        EXPECT_EQ(result.out, "");
        EXPECT_NE(result.err.find("pontrel-cli dump TABLA.DBF"), std::string::npos) << result.err;
    }
}

} // namespace
} // namespace pontrel::cli
