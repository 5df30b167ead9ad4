// Whole numbers as Yedra writes them: an optional sign and decimal digits within 32 bits, around them
// only what the field value's trimming drops.

#include "export/WholeNumber.h"

#include "dbf/Error.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace pontrel::exporting {
namespace {

TEST(WholeNumber, ReadsSignAndDigitsWithin32Bits) {
    const std::vector<std::pair<std::string, std::int32_t>> numbers{{"0", 0},
                                                                    {"-0", 0},
                                                                    {"+7", 7},
                                                                    {"007", 7},
                                                                    {" 42\t\r\n", 42},
                                                                    {"2147483647", 2147483647},
                                                                    {"-2147483648", -2147483647 - 1},
                                                                    {"-90", -90}};
    for (const auto& [text, number] : numbers) {
        SCOPED_TRACE(text);
        EXPECT_EQ(parseWholeNumber(text), number);
    }
}

TEST(WholeNumber, RefusesEverythingElse) {
    for (const std::string text :
         {"", " ", "+", "-", "30A", "2h", "8:15", "$1F", "0x1F", "1.5", "1e3", "1 000", "+-5", "--5",
          "2147483648", "-2147483649", "99999999999999999999999",
          "\xA0"
          "5",
          "5\xA0"}) {
        SCOPED_TRACE(text);
        EXPECT_EQ(parseWholeNumber(text), std::nullopt);
    }
}

TEST(WholeNumber, NamesWhereTheValueWasReadWhenItIsNotOne) {
    const WholeNumberSource source{"TRAMOS_HORARIOS", 12, 2, "inicio del tramo en minutos",
                                   "/datos/centro.xml"};
    EXPECT_EQ(requireWholeNumber(" 480 ", source), 480);
    try {
        requireWholeNumber("8:15", source);
        ADD_FAILURE() << "no error";
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(),
                     "El valor «8:15» no es un número entero (inicio del tramo en minutos, posición 2 "
                     "del registro 12 del grupo TRAMOS_HORARIOS, documento /datos/centro.xml). "
                     "Corrija el dato en Yedra y vuelva a exportar.");
    }
    // The value is shown in UTF-8 whatever its ANSI bytes.
    try {
        requireWholeNumber("12\xBA", source);
        ADD_FAILURE() << "no error";
    } catch (const Error& e) {
        EXPECT_THAT(e.what(), ::testing::HasSubstr("«12º»"));
    }
}

} // namespace
} // namespace pontrel::exporting
