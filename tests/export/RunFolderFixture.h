#pragma once
// A working folder that holds an earlier set of tables (and files that are not Pontrel's), and a way
// to tell whether a run changed so much as one byte of it.

#include "support/Bytes.h"
#include "support/ExportFixtures.h"
#include "support/SampleSchool.h"

#include "dbf/Table.h"

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

namespace pontrel::testing {

// Every entry under `folder`, hidden ones included: relative path -> bytes ("<carpeta>" for folders).
inline std::map<std::string, std::string> folderContents(const std::filesystem::path& folder) {
    std::map<std::string, std::string> contents;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
        const std::string name = std::filesystem::relative(entry.path(), folder).string();
        if (entry.is_directory()) {
            contents[name] = "<carpeta>";
            continue;
        }
        contents[name] = readFile(entry.path());
    }
    return contents;
}

// A one-record table whose single text field says which set it belongs to.
inline void writeMarkedTable(const std::filesystem::path& file, const std::string& mark) {
    dbf::Table::create(file, {{"MARCA", 'C', 20}});
    auto table = dbf::Table::open(file, dbf::OpenMode::Shared, dbf::Access::ReadWrite);
    dbf::RecordBuffer record;
    record.setText("MARCA", mark);
    table.append(record);
    table.close();
}

// Velmora's folder after an earlier export and some work in Velmora: the ten tables (PROFT in lower
// case, as a program under Wine may name it), stale indexes, Velmora's own SOLUC and a note.
inline void fillWithEarlierSet(const std::filesystem::path& folder) {
    for (const char* table : {"ASIGNOMT", "ASIGNOMT2", "AULAT", "CURSOST", "GRUPOST", "ASIGT", "DIASHORAST",
                              "DIASHORAST2", "PERIODOS"})
        writeMarkedTable(folder / (std::string(table) + ".DBF"), std::string("anterior ") + table);
    writeMarkedTable(folder / "proft.dbf", "anterior PROFT");
    writeMarkedTable(folder / "SOLUC.DBF", "horario de Velmora");
    writeFile(folder / "proft.mdx", "indice viejo de PROFT");
    writeFile(folder / "DIASHORAST2.MDX", "indice viejo de DIASHORAST2");
    writeFile(folder / "PERIODOS.MDX", "indice de Velmora que se conserva");
    writeFile(folder / "notas.txt", "apuntes del jefe de estudios");
}

inline std::filesystem::path runDocument(const std::string& name) {
    return std::filesystem::path(PONTREL_TEST_DATA_DIR) / "export" / name;
}

} // namespace pontrel::testing
