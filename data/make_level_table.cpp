// Writes the level table NIVELCAN.DBF from its readable source levels.csv, with Pontrel's own dBase
// engine, at build time:  make_level_table levels.csv NIVELCAN.DBF
// The source is UTF-8; the table is written in Windows-1252, like every table Pontrel writes.

#include "dbf/Error.h"
#include "dbf/Table.h"

#include <charconv>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <set>
#include <string>
#include <vector>

namespace {

using pontrel::Error;
namespace dbf = pontrel::dbf;

const std::string kHeader = "X_OFERTAMATRIG;NIVEL_ABREV;NIVEL";
constexpr int kAbbreviationWidth = 10;
constexpr int kNameWidth = 80;

struct Level {
    std::int32_t key = 0;
    std::string abbreviation; // Windows-1252
    std::string name;         // Windows-1252
};

std::string where(const std::filesystem::path& file, int line) {
    return file.string() + ", línea " + std::to_string(line);
}

// Spanish text needs nothing beyond Latin-1, which Windows-1252 holds at the same codes; anything
// else in the source is a mistake better caught here than shown as "?" in Velmora.
std::string toWindows1252(const std::string& utf8, const std::string& place) {
    std::string out;
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        if (c < 0x80) {
            out += static_cast<char>(c);
            continue;
        }
        if ((c & 0xE0) == 0xC0 && i + 1 < utf8.size() &&
            (static_cast<unsigned char>(utf8[i + 1]) & 0xC0) == 0x80) {
            const unsigned code = ((c & 0x1Fu) << 6) | (static_cast<unsigned char>(utf8[i + 1]) & 0x3Fu);
            if (code >= 0xA0 && code <= 0xFF) {
                out += static_cast<char>(code);
                ++i;
                continue;
            }
        }
        throw Error(place + ": carácter no admitido en la tabla de niveles (solo Latin-1).");
    }
    return out;
}

std::vector<std::string> splitFields(const std::string& line) {
    std::vector<std::string> fields(1);
    for (char c : line) {
        if (c == ';')
            fields.emplace_back();
        else
            fields.back() += c;
    }
    return fields;
}

std::vector<Level> readSource(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in)
        throw Error("No se puede leer el origen de la tabla de niveles " + file.string() + ".");
    std::vector<Level> levels;
    std::set<std::int32_t> keys;
    bool headerSeen = false;
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty() || line.front() == '#')
            continue;
        const std::string place = where(file, number);
        if (!headerSeen) {
            if (line != kHeader)
                throw Error(place + ": se esperaba la cabecera \"" + kHeader + "\".");
            headerSeen = true;
            continue;
        }
        const auto fields = splitFields(line);
        if (fields.size() != 3)
            throw Error(place + ": se esperaban 3 campos separados por ';'.");
        Level level;
        const auto [end, error] =
            std::from_chars(fields[0].data(), fields[0].data() + fields[0].size(), level.key);
        if (error != std::errc{} || end != fields[0].data() + fields[0].size() || fields[0].empty())
            throw Error(place + ": la clave \"" + fields[0] + "\" no es un número entero.");
        if (!keys.insert(level.key).second)
            throw Error(place + ": la clave " + fields[0] + " está repetida.");
        level.abbreviation = toWindows1252(fields[1], place);
        level.name = toWindows1252(fields[2], place);
        if (level.abbreviation.size() > kAbbreviationWidth || level.name.size() > kNameWidth)
            throw Error(place + ": el nivel no cabe en la tabla (NIVEL_ABREV hasta " +
                        std::to_string(kAbbreviationWidth) + " caracteres, NIVEL hasta " +
                        std::to_string(kNameWidth) + ").");
        levels.push_back(level);
    }
    if (!headerSeen)
        throw Error(file.string() + ": falta la cabecera \"" + kHeader + "\".");
    return levels;
}

void writeTable(const std::filesystem::path& target, const std::vector<Level>& levels) {
    // Written beside the target and renamed over it, so that an interrupted build never leaves a
    // half-written level table that a later build would take as up to date.
    const auto partial = target.parent_path() / "NIVELCAN.PARTIAL.DBF";
    std::filesystem::remove(partial);
    try {
        dbf::Table::create(partial, {{"X_OFERTAMATRIG", 'I', 0},
                                     {"NIVEL_ABREV", 'C', kAbbreviationWidth},
                                     {"NIVEL", 'C', kNameWidth}});
        auto table = dbf::Table::open(partial, dbf::OpenMode::Exclusive, dbf::Access::ReadWrite);
        for (const Level& level : levels) {
            dbf::RecordBuffer row;
            row.setInteger("X_OFERTAMATRIG", level.key);
            row.setText("NIVEL_ABREV", level.abbreviation);
            row.setText("NIVEL", level.name);
            table.append(row);
        }
        table.close();
        std::filesystem::rename(partial, target);
    } catch (...) {
        std::error_code ignored;
        std::filesystem::remove(partial, ignored);
        throw;
    }
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "Uso: make_level_table levels.csv NIVELCAN.DBF\n";
        return 2;
    }
    try {
        writeTable(argv[2], readSource(argv[1]));
    } catch (const std::exception& e) {
        std::cerr << e.what() << '\n';
        return 1;
    }
    return 0;
}
