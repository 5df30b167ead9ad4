#pragma once
// Small Yedra documents and a working folder for tests of the export steps: write a document from a
// list of records, load it, run steps against a fresh folder, read the written tables back.

#include "support/IndependentReader.h"
#include "support/ScratchFolder.h"
#include "support/ScriptedUserInterface.h"

#include "dbf/Table.h"
#include "exchange/text/Ansi.h"
#include "exchange/yedra/YedraDocument.h"
#include "export/ExportContext.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <stdexcept>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace pontrel::testing {

// A record's fields in order, as the `dato` texts (UTF-8, written as given: blanks, tabs and line
// breaks included).
using YedraFields = std::vector<std::string>;

// A data group: its `seq` and its records.
struct YedraGroup {
    std::string seq;
    std::vector<YedraFields> records;
};

inline std::string escapeXml(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

// The envelope SERVICIO / BLOQUE_DATOS / grupo_datos[@seq] / grupo_datos / dato, in UTF-8.
inline std::string yedraXml(const std::vector<YedraGroup>& groups) {
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<SERVICIO>\n <BLOQUE_DATOS>\n";
    for (const auto& group : groups) {
        xml += "  <grupo_datos seq=\"" + escapeXml(group.seq) + "\">\n";
        for (const auto& record : group.records) {
            xml += "   <grupo_datos>";
            for (std::size_t i = 0; i < record.size(); ++i)
                xml += "<dato nombre_dato=\"D" + std::to_string(i) + "\">" + escapeXml(record[i]) + "</dato>";
            xml += "</grupo_datos>\n";
        }
        xml += "  </grupo_datos>\n";
    }
    xml += " </BLOQUE_DATOS>\n</SERVICIO>\n";
    return xml;
}

inline std::filesystem::path writeYedraDocument(const std::filesystem::path& folder,
                                                const std::vector<YedraGroup>& groups,
                                                const std::string& fileName = "yedra.xml") {
    const auto file = folder / fileName;
    writeFile(file, yedraXml(groups));
    return file;
}

// A run's shared context over a loaded document, with the tables written to `tablesFolder`.
inline exporting::ExportContext contextOver(const YedraDocument& document,
                                            const std::filesystem::path& tablesFolder, UserInterface& ui) {
    return {.document = document,
            .tablesFolder = tablesFolder,
            .levelTable = {},
            .documentPath = document.path(),
            .ui = ui,
            .task513 = false,
            .subjects = {},
            .codeReport = nullptr,
            .recordsWritten = {}};
}

// Everything one step needs: a folder holding the document and the tables, the loaded document, a
// recording user interface and the run's shared context over them.
struct StepFixture {
    explicit StepFixture(const std::vector<YedraGroup>& groups)
        : document(YedraDocument::load(writeYedraDocument(folder.path(), groups))),
          context(contextOver(document, folder.path(), ui)) {}

    std::filesystem::path table(const std::string& fileName) const { return folder.path() / fileName; }

    ScratchFolder folder;
    ScriptedUserInterface ui;
    YedraDocument document;
    exporting::ExportContext context;
};

// A table's records read back with Pontrel's engine, the named fields of each as text in UTF-8
// (NULL reads as empty), so tests compare with readable literals.
inline std::vector<std::vector<std::string>> readRows(const std::filesystem::path& file,
                                                      const std::vector<std::string>& fields) {
    auto table = dbf::Table::open(file, dbf::OpenMode::Shared);
    std::vector<std::vector<std::string>> rows;
    for (std::size_t r = 0; r < table.recordCount(); ++r) {
        std::vector<std::string> row;
        for (const auto& field : fields)
            row.push_back(ansi::toUtf8(table.text(r, field)));
        rows.push_back(std::move(row));
    }
    return rows;
}

// One field of every record, in stored order, in UTF-8.
inline std::vector<std::string> readColumn(const std::filesystem::path& file, const std::string& field) {
    std::vector<std::string> column;
    for (auto& row : readRows(file, {field}))
        column.push_back(std::move(row.front()));
    return column;
}

// A Boolean field of every record, in stored order (nullopt for NULL).
inline std::vector<std::optional<bool>> readBooleans(const std::filesystem::path& file,
                                                     const std::string& field) {
    auto table = dbf::Table::open(file, dbf::OpenMode::Shared);
    std::vector<std::optional<bool>> column;
    for (std::size_t r = 0; r < table.recordCount(); ++r)
        column.push_back(table.boolean(r, field));
    return column;
}

// A table's layout as the engine reads it back: (name, type, width) per field, in order. Only text
// fields carry a width of their own; the engine fixes the others', so they read as 0 here.
inline std::vector<std::tuple<std::string, char, int>> readLayout(const std::filesystem::path& file) {
    auto table = dbf::Table::open(file, dbf::OpenMode::Shared);
    std::vector<std::tuple<std::string, char, int>> layout;
    for (const auto& field : table.fields())
        layout.emplace_back(field.name, field.type, field.type == 'C' ? field.width : 0);
    return layout;
}

// Whether the independent reader (Free Pascal's TDbf) reads `file` field for field and value for value
// as Pontrel's engine does. Callers skip when the reader was not built (independentReaderAvailable).
inline ::testing::AssertionResult independentReaderAgrees(const std::filesystem::path& file) {
    auto mine = dbf::Table::open(file, dbf::OpenMode::Shared);
    const auto other = test::readWithIndependentReader(file);
    std::vector<std::string> names;
    for (const auto& field : mine.fields())
        names.push_back(field.name);
    if (other.fields != names)
        return ::testing::AssertionFailure() << file.filename() << ": the field names differ";
    const auto expected = test::independentRows(mine);
    if (other.rows.size() != expected.size())
        return ::testing::AssertionFailure()
               << file.filename() << ": " << other.rows.size() << " records instead of " << expected.size();
    for (std::size_t r = 0; r < expected.size(); ++r)
        if (other.rows[r] != expected[r])
            return ::testing::AssertionFailure() << file.filename() << ": record " << r << " differs";
    return ::testing::AssertionSuccess();
}

} // namespace pontrel::testing
