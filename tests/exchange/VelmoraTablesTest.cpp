// The tables' module as the export steps, the import run and the preview read it. Each exported
// table's fields are held literally by its step's test, against what the step writes; here the facts
// no step writes into a table: which tables an export leaves and in what order, how the preview
// identifies their records, their indexes, and SOLUC as Velmora writes it.

#include "exchange/velmora/VelmoraTables.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <tuple>
#include <vector>

namespace pontrel::velmora {
namespace {

using Layout = std::vector<std::tuple<std::string, char, int, int>>;

Layout fieldsOf(const TableLayout& table) {
    Layout fields;
    for (const auto& f : table.fields)
        fields.emplace_back(f.name, f.type, f.width, f.decimals);
    return fields;
}

TEST(VelmoraTablesTest, TheExportLeavesTenTablesEachWithTheKeyThePreviewComparesBy) {
    // Subjects have no Yedra key in ASIGNOMT, an activity shares its code with a subject, and a time
    // slot appears once per day of the grid.
    const std::vector<std::pair<std::string, std::vector<std::string>>> expected = {
        {"ASIGNOMT", {"COD", "CODTAREA"}},
        {"ASIGNOMT2", {"MATERIA", "OFERTAMATRI"}},
        {"PROFT", {"X_EMPLEADO"}},
        {"AULAT", {"ABREV"}},
        {"CURSOST", {"CLAVE"}},
        {"GRUPOST", {"CLAVE"}},
        {"ASIGT", {"CLAVE", "CLAVECURSO", "CGRUP"}},
        {"DIASHORAST", {"CODDIHO", "DIA"}},
        {"DIASHORAST2", {"CODDIHO"}},
        {"PERIODOS", {"CJORNADA"}},
    };
    std::vector<std::pair<std::string, std::vector<std::string>>> actual;
    for (const TableLayout* table : exportedTables()) {
        actual.emplace_back(table->name, table->naturalKey);
        EXPECT_EQ(table->fileName(), table->name + ".DBF");
        for (const auto& field : table->naturalKey)
            EXPECT_NO_THROW(table->field(field)) << table->name << " lacks its key field " << field;
    }
    EXPECT_EQ(actual, expected);
}

TEST(VelmoraTablesTest, OnlyTheSlotsAreIndexedAndOnlyPeriodosKeepsAStaleIndex) {
    for (const TableLayout* table : exportedTables()) {
        if (table->name == "DIASHORAST2") {
            ASSERT_TRUE(table->index.has_value());
            EXPECT_EQ(table->index->tag, "ORDEN");
            EXPECT_EQ(table->index->field, "ORDEN");
            EXPECT_EQ(table->field("ORDEN").type, 'I');
        } else {
            EXPECT_FALSE(table->index.has_value()) << table->name;
        }
        EXPECT_EQ(table->removeStaleIndex, table->name != "PERIODOS") << table->name;
    }
}

TEST(VelmoraTablesTest, SolucIsReadAsVelmoraWritesIt) {
    EXPECT_EQ(soluc::layout().fileName(), "SOLUC.DBF");
    EXPECT_EQ(fieldsOf(soluc::layout()), (Layout{{"PROF", 'C', 10, 0},
                                                 {"DIA", 'N', 2, 0},
                                                 {"HORA", 'N', 2, 0},
                                                 {"MARCO", 'C', 1, 0},
                                                 {"ASIG", 'C', 10, 0},
                                                 {"CODGRUPO", 'C', 10, 0},
                                                 {"TAREA", 'C', 10, 0},
                                                 {"AULA", 'C', 10, 0}}));
    EXPECT_TRUE(soluc::layout().naturalKey.empty()) << "SOLUC is never compared by a preview";
}

TEST(VelmoraTablesTest, WidthsAreTheFieldsOwnAndAnUnknownFieldIsRefused) {
    EXPECT_EQ(proft::layout().width(proft::kXEmpleado), 10u);
    EXPECT_EQ(asignomt::layout().width(asignomt::kCodTarea), 12u);
    EXPECT_EQ(asignomt2::layout().width(asignomt2::kMateria), 20u);
    EXPECT_EQ(diashorast2::layout().width(diashorast2::kHoraDesde), 8u) << "the grid's fields, shared";
    EXPECT_THROW(aulat::layout().field("X_EMPLEADO"), std::logic_error);
}

} // namespace
} // namespace pontrel::velmora
