#include "import/DocumentText.h"

#include "dbf/Error.h"
#include "exchange/text/Ansi.h"
#include "exchange/yedra/XmlEscaping.h"
#include "platform/Utf8Path.h"

namespace pontrel::importing {

namespace {

const std::string& checked(const dbf::Table& table, std::size_t record, std::string_view fieldName,
                           const std::string& value) {
    const std::size_t bad = xml::firstUnwritableByte(value);
    if (bad == std::string_view::npos)
        return value;
    std::string shown = value;
    for (char& c : shown)
        if (static_cast<unsigned char>(c) < 0x20)
            c = '?';
    throw Error("La tabla «" + platform::utf8Of(table.path()) + "», registro " + std::to_string(record + 1) +
                ", campo " + std::string(fieldName) + ": el valor «" + ansi::toUtf8(shown) + "» contiene " +
                xml::describeUnwritableByte(value, bad) +
                ", que un documento XML no puede llevar. Corrija el valor en Velmora o vuelva a exportar, y "
                "repita la importación. No se ha escrito nada.");
}

} // namespace

std::string documentText(const dbf::Table& table, std::size_t record, std::size_t field,
                         std::string_view fieldName) {
    std::string value = table.text(record, field);
    checked(table, record, fieldName, value);
    return value;
}

std::string documentText(const dbf::Table& table, std::size_t record, std::string_view fieldName) {
    std::string value = table.text(record, fieldName);
    checked(table, record, fieldName, value);
    return value;
}

} // namespace pontrel::importing
