// write_soluc FOLDER: writes FOLDER/SOLUC.DBF (dBase III, as the timetable tool writes it) placing
// every teacher of PROFT in a few slots with the folder's first subjects, units and rooms. The same
// tables always give the same SOLUC, so imports on two systems can be compared.

#include "support/SolucWriter.h"

#include "dbf/Table.h"

#include <cstdio>
#include <exception>
#include <string>
#include <vector>

namespace {

std::vector<std::string> column(const std::filesystem::path& table, const char* field, std::size_t most) {
    std::vector<std::string> values;
    auto t = pontrel::dbf::Table::open(table, pontrel::dbf::OpenMode::Shared);
    for (std::size_t r = 0; r < t.recordCount() && values.size() < most; ++r)
        values.push_back(t.text(r, field)); // live records only: the engine skips deleted ones
    return values;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "uso: write_soluc CARPETA\n");
        return 1;
    }
    try {
        const std::filesystem::path folder = argv[1];
        const auto teachers = column(folder / "PROFT.DBF", "ABREV", 100000);
        const auto subjects = column(folder / "ASIGNOMT.DBF", "COD", 7);
        const auto units = column(folder / "GRUPOST.DBF", "ABREV", 5);
        const auto rooms = column(folder / "AULAT.DBF", "ABREV", 3);
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
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "write_soluc: %s\n", e.what());
        return 1;
    }
}
