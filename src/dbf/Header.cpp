#include "dbf/Header.h"

#include "dbf/Bytes.h"
#include "dbf/Messages.h"
#include "dbf/TextFold.h"
#include "platform/Regional.h"

#include <algorithm>
#include <ctime>
#include <string_view>

namespace pontrel::dbf {

namespace {

constexpr std::size_t kOldHeaderFixedPart = 32;
constexpr std::size_t kOldDescriptorSize = 32;

// FoxPro descriptor flags (byte 18 of a 32-byte descriptor).
constexpr std::uint8_t kFoxSystemColumn = 0x01;
constexpr std::uint8_t kFoxNullable = 0x02;

bool isFoxPro(std::uint8_t version) {
    return version == 0x30 || version == 0x31 || version == 0x32 || version == 0xF5 || version == 0xFB;
}

bool knownType(char t) {
    return std::string_view("CNFLDIO@+MGBPYT0").find(t) != std::string_view::npos;
}

// The width a type must have when it is not the definer's choice; checked on reading so that a
// damaged descriptor cannot make a decoder read past its field.
int requiredWidth(char type, int width, bool level7) {
    switch (type) {
    case 'I':
    case '+':
        return 4;
    case 'O':
    case '@':
    case 'Y':
    case 'T':
        return 8;
    case 'L':
        return 1;
    case 'D':
        return 8;
    case 'B':
        return level7 ? 10 : (width == 8 ? 8 : 10);
    default:
        return 0;
    }
}

// Letters, digits and the underscore, as dBase allows them, accented letters of the table's code page,
// and blanks inside (dBase 7 itself writes "Length CM"). Anything else (punctuation, control bytes)
// says that the file is text or something else, whose bytes would only be shown as rubbish.
bool validFieldName(std::string_view name) {
    if (name.empty() || name.front() == ' ')
        return false;
    return std::all_of(name.begin(), name.end(), [](char c) {
        const auto b = static_cast<unsigned char>(c);
        return text::isAsciiLetterOrDigit(c) || b == '_' || b == ' ' || b >= 0x80;
    });
}

} // namespace

std::string nameKey(std::string_view name) {
    return text::upperAnsi(name);
}

int fixedWidth(char type, bool level7) {
    switch (type) {
    case 'I':
        return 4;
    case 'L':
        return 1;
    case 'O':
        return 8;
    default:
        (void)level7;
        return 0;
    }
}

TableLayout parseHeader(const std::uint8_t* data, std::size_t fileSize, const std::string& fileName) {
    if (fileSize == 0)
        throw messages::damaged(fileName, "el archivo está vacío");
    if (fileSize < kOldHeaderFixedPart + 1)
        throw messages::damaged(fileName, "el archivo termina antes del final de la cabecera (" +
                                              std::to_string(fileSize) + " bytes)");

    TableLayout layout;
    layout.version = data[0];
    const bool fox = isFoxPro(layout.version);
    const int level = layout.version & 0x07;
    if (!fox && level != 3 && level != 4 && level != 5)
        throw messages::damaged(fileName, "el primer byte (" + std::to_string(layout.version) +
                                              ") no es el de ningún nivel de dBase conocido");
    layout.level7 = !fox && level == 4;
    layout.integers = layout.level7 ? IntegerStorage::Level7 : IntegerStorage::LittleEndian;
    layout.recordCount = bytes::readU32LE(data + kCountOffset);
    layout.headerLength = bytes::readU16LE(data + 8);
    layout.recordLength = bytes::readU16LE(data + 10);
    layout.hasProductionIndex = data[level7::kMdxFlagOffset] == 1;

    const std::size_t first = layout.level7 ? level7::kHeaderFixedPart : kOldHeaderFixedPart;
    const std::size_t size = layout.level7 ? level7::kDescriptorSize : kOldDescriptorSize;
    if (layout.headerLength > fileSize)
        throw messages::damaged(fileName, "la cabecera dice medir " + std::to_string(layout.headerLength) +
                                              " bytes y el archivo solo tiene " + std::to_string(fileSize));
    if (layout.headerLength < first + 1)
        throw messages::damaged(fileName, "la longitud de la cabecera (" +
                                              std::to_string(layout.headerLength) +
                                              ") es menor que su parte fija");

    std::size_t pos = first;
    std::size_t offset = 1; // the deletion mark comes first
    int nextNullBit = 0;
    while (true) {
        if (pos >= layout.headerLength || data[pos] == kHeaderTerminator)
            break;
        if (pos + size > layout.headerLength)
            throw messages::damaged(fileName, "la descripción del campo " +
                                                  std::to_string(layout.fields.size() + 1) +
                                                  " sobrepasa la longitud de la cabecera");
        const std::uint8_t* d = data + pos;
        FieldLayout f;
        if (layout.level7) {
            f.info.name = bytes::readName(d, 32);
            f.info.type = static_cast<char>(d[32]);
            f.info.width = d[33];
            f.info.decimals = d[34];
            f.indexed = d[level7::kDescriptorMdxFlag] == 1;
        } else {
            f.info.name = bytes::readName(d, 11);
            f.info.type = static_cast<char>(d[11]);
            f.info.width = d[16];
            f.info.decimals = d[17];
            if (fox) {
                f.system = (d[18] & kFoxSystemColumn) != 0 && f.info.type == '0';
                if ((d[18] & kFoxNullable) != 0)
                    f.nullBit = nextNullBit++;
            }
        }
        if (!validFieldName(f.info.name))
            throw messages::damaged(fileName, "la descripción del campo " +
                                                  std::to_string(layout.fields.size() + 1) +
                                                  " no tiene un nombre de campo válido");
        const std::string shownName = messages::printable(f.info.name);
        if (!knownType(f.info.type))
            throw messages::damaged(fileName, "el campo «" + shownName + "» tiene un tipo desconocido («" +
                                                  messages::printable(std::string(1, f.info.type)) + "»)");
        if (f.info.width == 0)
            throw messages::damaged(fileName, "el campo «" + shownName + "» tiene anchura 0");
        if (int w = requiredWidth(f.info.type, f.info.width, layout.level7); w != 0 && f.info.width != w)
            throw messages::damaged(fileName, "el campo «" + shownName + "» de tipo " + f.info.type +
                                                  " tiene anchura " + std::to_string(f.info.width) +
                                                  " y debe tener " + std::to_string(w));
        if (f.info.type == '0' && f.info.name == "_NullFlags")
            layout.nullFlagsField = static_cast<int>(layout.fields.size());
        f.offset = offset;
        offset += static_cast<std::size_t>(f.info.width);
        layout.fields.push_back(std::move(f));
        pos += size;
    }
    if (layout.fields.empty())
        throw messages::damaged(fileName, "la cabecera no describe ningún campo");
    if (offset != layout.recordLength)
        throw messages::damaged(
            fileName, "la longitud de registro de la cabecera (" + std::to_string(layout.recordLength) +
                          ") no coincide con la suma de las anchuras de los campos más uno (" +
                          std::to_string(offset) + ")");
    if (layout.nullFlagsField >= 0) {
        const auto bits =
            static_cast<int>(layout.fields[static_cast<std::size_t>(layout.nullFlagsField)].info.width) * 8;
        if (nextNullBit > bits)
            throw messages::damaged(
                fileName, "el campo _NullFlags es demasiado corto para los campos que admiten NULL");
    } else {
        for (auto& f : layout.fields)
            f.nullBit = -1;
    }
    const std::uint64_t needed =
        layout.headerLength + static_cast<std::uint64_t>(layout.recordCount) * layout.recordLength;
    if (needed > fileSize)
        throw messages::damaged(fileName, "la cabecera anuncia " + std::to_string(layout.recordCount) +
                                              " registros, pero el archivo termina antes (" +
                                              std::to_string(fileSize) + " bytes de los " +
                                              std::to_string(needed) + " necesarios)");
    layout.headerRecordCount = layout.recordCount;
    // Whole records past the counted ones; the end-of-file mark, or anything else that is not a
    // record's deletion mark, ends them.
    for (std::uint64_t at = needed; at + layout.recordLength <= fileSize && layout.recordCount < 0xFFFFFFFFu;
         at += layout.recordLength) {
        if (data[at] != kLiveMark && data[at] != kDeletedMark)
            break;
        ++layout.recordCount;
    }
    return layout;
}

TableLayout level7Layout(const std::vector<FieldSpec>& fields, const std::string& fileName) {
    if (fields.empty())
        throw messages::tableError(fileName, "no se puede crear una tabla sin campos");
    TableLayout layout;
    layout.version = level7::kVersion;
    layout.level7 = true;
    layout.integers = IntegerStorage::Level7;
    std::size_t offset = 1;
    std::vector<std::string> seen;
    for (const auto& spec : fields) {
        const std::string shown = messages::printable(spec.name);
        if (spec.name.empty() || spec.name.size() > 31)
            throw messages::tableError(fileName, "el nombre de campo «" + shown +
                                                     "» debe tener entre 1 y 31 caracteres");
        const std::string key = nameKey(spec.name);
        if (std::find(seen.begin(), seen.end(), key) != seen.end())
            throw messages::tableError(fileName, "el campo «" + shown + "» está definido dos veces");
        seen.push_back(key);
        FieldLayout f;
        f.info.name = spec.name;
        f.info.type = spec.type;
        switch (spec.type) {
        case 'C':
            if (spec.width < 1 || spec.width > 254)
                throw messages::fieldError(fileName, shown,
                                           "la anchura de un campo de texto debe estar entre 1 y 254");
            f.info.width = spec.width;
            break;
        case 'I':
        case 'L':
        case 'O':
            f.info.width = fixedWidth(spec.type, true);
            break;
        default:
            throw messages::fieldError(fileName, shown,
                                       std::string("el tipo «") + spec.type +
                                           "» no se puede crear (solo C, I, L y O)");
        }
        f.info.decimals = 0;
        f.offset = offset;
        offset += static_cast<std::size_t>(f.info.width);
        layout.fields.push_back(std::move(f));
    }
    if (offset > kMaxRecordLength)
        throw messages::tableError(fileName, "los campos suman más de 65535 bytes por registro");
    layout.recordLength = offset;
    layout.headerLength = level7::kHeaderFixedPart + level7::kDescriptorSize * fields.size() + 1;
    if (layout.headerLength > kMaxRecordLength)
        throw messages::tableError(fileName, "demasiados campos para una tabla dBase");
    return layout;
}

void stampDate(std::uint8_t* p, const Date& date) {
    p[0] = static_cast<std::uint8_t>(std::clamp(date.year - 1900, 0, 255));
    p[1] = static_cast<std::uint8_t>(std::clamp(date.month, 1, 12));
    p[2] = static_cast<std::uint8_t>(std::clamp(date.day, 1, 31));
}

std::vector<std::uint8_t> buildLevel7Header(const TableLayout& layout, const Date& date) {
    std::vector<std::uint8_t> h(layout.headerLength, 0);
    h[0] = level7::kVersion;
    stampDate(&h[1], date);
    bytes::writeU32LE(&h[kCountOffset], layout.recordCount);
    bytes::writeU16LE(&h[8], static_cast<std::uint16_t>(layout.headerLength));
    bytes::writeU16LE(&h[10], static_cast<std::uint16_t>(layout.recordLength));
    h[level7::kMdxFlagOffset] = layout.hasProductionIndex ? 1 : 0;
    const std::string_view driver = level7::kLanguageName;
    std::copy(driver.begin(), driver.end(), h.begin() + level7::kLanguageNameOffset);
    std::size_t pos = level7::kHeaderFixedPart;
    for (const auto& f : layout.fields) {
        std::copy(f.info.name.begin(), f.info.name.end(), h.begin() + static_cast<std::ptrdiff_t>(pos));
        h[pos + 32] = static_cast<std::uint8_t>(f.info.type);
        h[pos + 33] = static_cast<std::uint8_t>(f.info.width);
        h[pos + 34] = static_cast<std::uint8_t>(f.info.decimals);
        h[pos + level7::kDescriptorMdxFlag] = f.indexed ? 1 : 0;
        pos += level7::kDescriptorSize;
    }
    h[pos] = kHeaderTerminator;
    return h;
}

Date today() {
    const std::tm local = platform::localTime(std::time(nullptr));
    return Date{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday};
}

} // namespace pontrel::dbf
