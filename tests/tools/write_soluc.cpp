// write_soluc FOLDER [--primero-sin-clave]: writes FOLDER/SOLUC.DBF (dBase III, as the timetable tool
// writes it) placing every teacher of PROFT in a few slots with the folder's first subjects, units and
// rooms. The same tables always give the same SOLUC, so imports on two systems can be compared.
// --primero-sin-clave also empties the first teacher's X_EMPLEADO, as for a teacher created in Velmora
// itself: the import then asks for it in the teacher data dialog. It prints the key it took away.

#include "support/SolucWriter.h"
#include "support/StoredColumn.h"

#include "dbf/Table.h"

#include <cstdio>
#include <exception>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    const bool firstWithoutKey = argc == 3 && std::string(argv[2]) == "--primero-sin-clave";
    if (argc != 2 && !firstWithoutKey) {
        std::fprintf(stderr, "uso: write_soluc CARPETA [--primero-sin-clave]\n");
        return 1;
    }
    try {
        const std::filesystem::path folder = argv[1];
        using pontrel::testing::storedColumn;
        const auto teachers = storedColumn(folder / "PROFT.DBF", "ABREV", 100000);
        const auto subjects = storedColumn(folder / "ASIGNOMT.DBF", "COD", 7);
        const auto units = storedColumn(folder / "GRUPOST.DBF", "ABREV", 5);
        const auto rooms = storedColumn(folder / "AULAT.DBF", "ABREV", 3);
        if (subjects.empty() || units.empty() || rooms.empty())
            throw std::runtime_error("the folder lacks subjects, units or rooms");
        auto writer = pontrel::testing::solucWriter();
        for (std::size_t t = 0; t < teachers.size(); ++t)
            for (std::size_t k = 0; k < 3; ++k) {
                const std::size_t n = t * 3 + k;
                writer.addRecord({teachers[t], std::to_string(n % 6), std::to_string(1 + n % 4), "0",
                                  subjects[n % subjects.size()], units[n % units.size()], "",
                                  rooms[n % rooms.size()]});
            }
        writer.write(folder / "SOLUC.DBF");
        if (firstWithoutKey) {
            auto proft = pontrel::dbf::Table::open(folder / "PROFT.DBF", pontrel::dbf::OpenMode::Exclusive,
                                                   pontrel::dbf::Access::ReadWrite);
            std::printf("%s\n", proft.text(0, "X_EMPLEADO").c_str());
            pontrel::dbf::RecordBuffer values;
            values.setText("X_EMPLEADO", "");
            proft.update(0, values);
            proft.close();
        }
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "write_soluc: %s\n", e.what());
        return 1;
    }
}
