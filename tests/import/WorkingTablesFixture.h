#pragma once
// A small school's working tables written straight into a scratch folder, as the export run and the
// timetable tool would leave them: the engine's level-7 tables for the converter's own tables, and
// SOLUC as another program writes it (dBase III with numeric or text DIA/HORA, or level 7 integers).

#include "support/Bytes.h"
#include "support/ScratchFolder.h"
#include "support/SolucWriter.h"

#include "dbf/Table.h"
#include "exchange/velmora/VelmoraTables.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

namespace pontrel::testing {

namespace fs = std::filesystem;

// Field name -> value as text (ANSI); fields not named stay NULL.
using Row = std::map<std::string, std::string>;

// Layouts as the export run creates them (the step tests hold each one, spelled out, against what
// the steps write).
inline const std::vector<dbf::FieldSpec>& proftLayout() {
    return velmora::proft::layout().fields;
}
inline const std::vector<dbf::FieldSpec>& asignomtLayout() {
    return velmora::asignomt::layout().fields;
}
inline const std::vector<dbf::FieldSpec>& asignomt2Layout() {
    return velmora::asignomt2::layout().fields;
}
inline const std::vector<dbf::FieldSpec>& aulatLayout() {
    return velmora::aulat::layout().fields;
}
inline const std::vector<dbf::FieldSpec>& cursostLayout() {
    return velmora::cursost::layout().fields;
}
inline const std::vector<dbf::FieldSpec>& grupostLayout() {
    return velmora::grupost::layout().fields;
}
inline const std::vector<dbf::FieldSpec>& asigtLayout() {
    return velmora::asigt::layout().fields;
}
inline const std::vector<dbf::FieldSpec>& diashorastLayout() {
    return velmora::diashorast::layout().fields;
}
inline const std::vector<dbf::FieldSpec>& periodosLayout() {
    return velmora::periodos::layout().fields;
}

inline void writeTable(const fs::path& file, const std::vector<dbf::FieldSpec>& layout,
                       const std::vector<Row>& rows) {
    dbf::Table::create(file, layout);
    auto table = dbf::Table::open(file, dbf::OpenMode::Exclusive, dbf::Access::ReadWrite);
    for (const auto& row : rows) {
        dbf::RecordBuffer values;
        for (const auto& [field, value] : row) {
            char type = 'C';
            for (const auto& spec : layout)
                if (spec.name == field)
                    type = spec.type;
            if (type == 'I')
                values.setInteger(field, std::stoll(value));
            else if (type == 'O')
                values.setDouble(field, std::stod(value));
            else if (type == 'L')
                values.setBool(field, value == "T");
            else
                values.setText(field, value);
        }
        table.append(values);
    }
    table.close();
}

// The table `layout` in `folder`, under its own file name.
inline void writeTable(const fs::path& folder, const velmora::TableLayout& layout,
                       const std::vector<Row>& rows) {
    writeTable(folder / layout.fileName(), layout.fields, rows);
}

// One SOLUC record; DIA and HORA as their digits ("" for an empty field).
struct SolucRow {
    std::string prof, dia, hora, marco, asig, codgrupo, tarea, aula;
};

enum class SolucStorage {
    DbaseIIINumeric, // N(2,0) fields, as the timetable tool writes them
    DbaseIIIText,    // C fields holding the digits
    Level7Integer,   // the engine's own level 7, I fields
};

// The code page that SOLUC declares, for the program that writes it: a dBase III language driver id,
// a level-7 language driver name. The rows' texts are that code page's bytes.
struct SolucCodePage {
    std::uint8_t languageId = 0x03; // Windows ANSI
    std::string driverName = "DBWINUS0";
};

inline void writeSoluc(const fs::path& file, const std::vector<SolucRow>& rows, SolucStorage storage,
                       const SolucCodePage& codePage = {}) {
    if (storage == SolucStorage::Level7Integer) {
        // Velmora's fields, DIA and HORA as the engine's integers.
        std::vector<dbf::FieldSpec> layout = velmora::soluc::layout().fields;
        for (auto& field : layout)
            if (field.name == velmora::soluc::kDia || field.name == velmora::soluc::kHora)
                field = {field.name, 'I', 0, 0};
        std::vector<Row> table;
        for (const auto& r : rows) {
            Row row{{"PROF", r.prof},         {"MARCO", r.marco}, {"ASIG", r.asig},
                    {"CODGRUPO", r.codgrupo}, {"TAREA", r.tarea}, {"AULA", r.aula}};
            if (!r.dia.empty())
                row["DIA"] = r.dia;
            if (!r.hora.empty())
                row["HORA"] = r.hora;
            table.push_back(row);
        }
        writeTable(file, layout, table); // the bytes as given, under the engine's DBWINUS0
        if (codePage.driverName != "DBWINUS0") {
            std::fstream f(file, std::ios::binary | std::ios::in | std::ios::out);
            const std::string name = (codePage.driverName + std::string(32, '\0')).substr(0, 32);
            f.seekp(32);
            f.write(name.data(), 32);
        }
        return;
    }
    const char numberType = storage == SolucStorage::DbaseIIINumeric ? 'N' : 'C';
    auto writer = solucWriter(numberType);
    writer.setLanguageDriver(codePage.languageId);
    for (const auto& r : rows)
        writer.addRecord({r.prof, r.dia, r.hora, r.marco, r.asig, r.codgrupo, r.tarea, r.aula});
    writer.write(file);
}

// A small school: three teachers, one subject taught in two offers, two class units, two activities
// (one of them "513"), five days of two slots in frame "0", and one frame with its dates.
struct SchoolTables {
    std::vector<Row> proft{
        {{"ABREV", "ANA"}, {"NOMBRE", "Ana P\xE9rez"}, {"X_EMPLEADO", "1001"}, {"F_TOMAPOS", "01/09/2010"}},
        {{"ABREV", "LUIS"}, {"NOMBRE", "Luis G\xF3mez"}, {"X_EMPLEADO", "1002"}, {"F_TOMAPOS", "01/09/2011"}},
        {{"ABREV", "EVA"}, {"NOMBRE", "Eva Mu\xF1oz"}, {"X_EMPLEADO", "1003"}, {"F_TOMAPOS", "01/09/2012"}}};
    std::vector<Row> asignomt{
        {{"COD", "MAT"}, {"CODLARGO", "MAT"}, {"NOMBRE", "Matem\xE1ticas"}, {"ESTAREA", "F"}},
        {{"COD", "GUA"},
         {"CODLARGO", "Guardia"},
         {"NOMBRE", "Guardia"},
         {"CODTAREA", "GUA77"},
         {"ESTAREA", "T"}},
        {{"COD", "513"},
         {"CODLARGO", "Horario"},
         {"NOMBRE", "Horario regular"},
         {"CODTAREA", "513"},
         {"ESTAREA", "T"}}};
    std::vector<Row> asignomt2{{{"COD", "MAT"}, {"MATERIA", "101"}, {"OFERTAMATRI", "11"}},
                               {{"COD", "MAT"}, {"MATERIA", "102"}, {"OFERTAMATRI", "12"}}};
    std::vector<Row> aulat{{{"ABREV", "A1"}, {"NOMBRE", "Aula 1"}}};
    std::vector<Row> cursost{{{"ABREV", "11"}, {"CLAVE", "11"}}, {{"ABREV", "12"}, {"CLAVE", "12"}}};
    std::vector<Row> grupost{{{"ABREV", "1A"}, {"CLAVE", "U1A"}, {"CLAVECURSO", "11"}},
                             {{"ABREV", "2A"}, {"CLAVE", "U2A"}, {"CLAVECURSO", "12"}}};
    std::vector<Row> asigt{
        {{"CASIG", "MAT"}, {"CGRUP", "1A"}, {"HORAS", "4"}, {"CLAVE", "101"}, {"CLAVECURSO", "11"}}};
    std::vector<Row> diashorast = slots();
    std::vector<Row> periodos{
        {{"CJORNADA", "JOR1"}, {"JORNADA", "Ordinaria"}, {"FECINI", "15/09/2025"}, {"FECFIN", "22/06/2026"}}};
    std::vector<SolucRow> soluc;
    SolucStorage solucStorage = SolucStorage::DbaseIIINumeric;
    SolucCodePage solucCodePage;
    bool withPeriodos = true;

    // Days 1 to 5, slot 1 08:30-09:25 (key T1) and slot 2 09:25-10:20 (key T2), frame "0".
    static std::vector<Row> slots() {
        std::vector<Row> rows;
        for (int hour = 1; hour <= 2; ++hour)
            for (int day = 1; day <= 5; ++day)
                rows.push_back({{"DIHO", std::to_string(day) + std::to_string(hour)},
                                {"CODDIHO", "T" + std::to_string(hour)},
                                {"DIA", std::to_string(day)},
                                {"HORA", std::to_string(hour)},
                                {"HORADESDE", hour == 1 ? "08:30" : "09:25"},
                                {"HORAHASTA", hour == 1 ? "09:25" : "10:20"},
                                {"MARCO", "0"}});
        return rows;
    }

    void write(const fs::path& folder) const {
        writeSoluc(folder / "SOLUC.DBF", soluc, solucStorage, solucCodePage);
        writeTable(folder, velmora::proft::layout(), proft);
        writeTable(folder, velmora::asignomt::layout(), asignomt);
        writeTable(folder, velmora::asignomt2::layout(), asignomt2);
        writeTable(folder, velmora::aulat::layout(), aulat);
        writeTable(folder, velmora::cursost::layout(), cursost);
        writeTable(folder, velmora::grupost::layout(), grupost);
        writeTable(folder, velmora::asigt::layout(), asigt);
        writeTable(folder, velmora::diashorast::layout(), diashorast);
        if (withPeriodos)
            writeTable(folder, velmora::periodos::layout(), periodos);
    }
};

// A master-data document whose BLOQUE_DATOS starts with the academic year, as Yedra writes it.
inline std::string schoolDocument(const std::string& year = "2025") {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<SERVICIO modulo=\"EXPORTACION\">\n"
           "  <BLOQUE_DATOS>\n"
           "    <grupo_datos seq=\"ANNO_ACADEMICO\">\n"
           "      <dato nombre_dato=\"C_ANNO\">" +
           year +
           "</dato>\n"
           "    </grupo_datos>\n"
           "    <grupo_datos seq=\"MATERIAS\"/>\n"
           "  </BLOQUE_DATOS>\n"
           "</SERVICIO>\n";
}

} // namespace pontrel::testing
