// A small placer standing in for Velmora, so that the bundled sample can be imported too: it reads the
// working tables that `pontrel-cli export` wrote for the sample and writes a timetable SOLUC the way
// another program writes it (dBase III, numeric DIA and HORA), at build time:
//   place_sample_timetable CARPETA_DE_TRABAJO SOLUC.DBF
// Each assignment of ASIGT (subject, unit, weekly hours) gets the least busy teacher of PROFT, and each
// of its hours the first slot of DIASHORAST where its unit and its teacher are free, in a free room of
// AULAT. An hour that finds no slot is written unplaced (DIA 0), as Velmora leaves what it cannot place.

#include "dbf/Table.h"
#include "support/SolucWriter.h"
#include "support/StoredColumn.h"

#include <algorithm>
#include <cstdint>
#include <exception>
#include <filesystem>
#include <iostream>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
namespace dbf = pontrel::dbf;

struct Slot {
    std::string day, hour, frame;
};

int place(const fs::path& work, const fs::path& output) {
    std::vector<Slot> slots;
    {
        const auto t =
            dbf::Table::open(work / "DIASHORAST.DBF", dbf::OpenMode::Shared, dbf::Access::ReadOnly);
        for (std::size_t r = 0; r < t.recordCount(); ++r)
            slots.push_back({t.text(r, "DIA"), t.text(r, "HORA"), t.text(r, "MARCO")});
    }
    const auto teachers = pontrel::testing::storedColumn(work / "PROFT.DBF", "ABREV");
    const auto rooms = pontrel::testing::storedColumn(work / "AULAT.DBF", "ABREV");
    if (slots.empty() || teachers.empty() || rooms.empty()) {
        std::cerr << "place_sample_timetable: faltan tramos, profesores o aulas en " << work << "\n";
        return 1;
    }

    auto soluc = pontrel::testing::solucWriter();
    std::map<std::string, std::size_t> load;            // teacher -> hours placed
    std::set<std::pair<std::string, std::size_t>> busy; // ("P" teacher, "G" unit or "A" room, slot) taken
    const auto taken = [&](const std::string& who, std::size_t slot) { return busy.count({who, slot}) > 0; };

    const auto assignments =
        dbf::Table::open(work / "ASIGT.DBF", dbf::OpenMode::Shared, dbf::Access::ReadOnly);
    for (std::size_t r = 0; r < assignments.recordCount(); ++r) {
        const std::string subject = assignments.text(r, "CASIG");
        const std::string unit = assignments.text(r, "CGRUP");
        const auto hours = static_cast<std::int64_t>(assignments.number(r, "HORAS").value_or(0));
        const std::string teacher =
            *std::min_element(teachers.begin(), teachers.end(),
                              [&](const auto& a, const auto& b) { return load[a] < load[b]; });
        for (std::int64_t h = 0; h < hours; ++h) {
            std::size_t slot = 0;
            while (slot < slots.size() && (taken("P" + teacher, slot) || taken("G" + unit, slot)))
                ++slot;
            if (slot == slots.size()) {
                soluc.addRecord({teacher, "0", "0", slots.front().frame, subject, unit, "", rooms.front()});
                continue;
            }
            std::size_t room = (r + static_cast<std::size_t>(h)) % rooms.size();
            for (std::size_t tried = 0; tried < rooms.size() && taken("A" + rooms[room], slot); ++tried)
                room = (room + 1) % rooms.size();
            busy.insert({"P" + teacher, slot});
            busy.insert({"G" + unit, slot});
            busy.insert({"A" + rooms[room], slot});
            ++load[teacher];
            soluc.addRecord({teacher, slots[slot].day, slots[slot].hour, slots[slot].frame, subject, unit, "",
                             rooms[room]});
        }
    }
    if (output.has_parent_path())
        fs::create_directories(output.parent_path());
    soluc.write(output);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "Uso: place_sample_timetable CARPETA_DE_TRABAJO SOLUC.DBF\n";
        return 2;
    }
    try {
        return place(argv[1], argv[2]);
    } catch (const std::exception& error) {
        std::cerr << "place_sample_timetable: " << error.what() << "\n";
        return 1;
    }
}
