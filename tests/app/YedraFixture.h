#pragma once
// Small Yedra documents for the window's tests, written to a temporary folder.

#include <QTemporaryDir>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace pontrel::testing {

using FieldList = std::vector<std::string>;

// A document whose frames (JORNADAS_ESCOLARES) and time slots (TRAMOS_HORARIOS) are the given records,
// each a list of field texts (UTF-8).
inline std::string yedraDocument(const std::vector<FieldList>& frames,
                                 const std::vector<FieldList>& timeSlots) {
    auto group = [](const char* name, const std::vector<FieldList>& records) {
        std::string xml = std::string("    <grupo_datos seq=\"") + name + "\">\n";
        for (const auto& record : records) {
            xml += "      <grupo_datos>";
            for (const auto& field : record)
                xml += "<dato>" + field + "</dato>";
            xml += "</grupo_datos>\n";
        }
        return xml + "    </grupo_datos>\n";
    };
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<SERVICIO>\n  <BLOQUE_DATOS><C_ANNO>2025</C_ANNO>\n" +
           group("JORNADAS_ESCOLARES", frames) + group("TRAMOS_HORARIOS", timeSlots) +
           "  </BLOQUE_DATOS>\n</SERVICIO>\n";
}

inline std::filesystem::path writeFile(const QTemporaryDir& dir, const std::string& name,
                                       const std::string& text) {
    std::filesystem::path file = std::filesystem::path(dir.path().toStdString()) / name;
    std::ofstream(file, std::ios::binary) << text;
    return file;
}

} // namespace pontrel::testing
