// Creating, opening, reading and looking up records.

#include "dbf/FieldCodec.h"
#include "dbf/FileLookup.h"
#include "dbf/Messages.h"
#include "dbf/TableImpl.h"
#include "platform/Utf8Path.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>

namespace pontrel::dbf {

namespace {

std::filesystem::path indexPathFor(const std::filesystem::path& table) {
    std::filesystem::path mdx = table;
    const std::string ext = platform::utf8Of(table.extension());
    const bool lower =
        !ext.empty() && std::all_of(ext.begin() + 1, ext.end(), [](char c) { return c >= 'a' && c <= 'z'; });
    mdx.replace_extension(lower ? ".mdx" : ".MDX");
    return mdx;
}

// The production index beside a table, its name matched without regard to letter case as programs
// under Wine may write it.
std::optional<std::filesystem::path> findIndexFile(const std::filesystem::path& table) {
    const std::filesystem::path expected = indexPathFor(table);
    std::error_code ec;
    if (std::filesystem::is_regular_file(expected, ec))
        return expected;
    const std::filesystem::path folder =
        table.has_parent_path() ? table.parent_path() : std::filesystem::path(".");
    return findFile(folder, platform::utf8Of(expected.filename()));
}

} // namespace

// ---- RecordBuffer ----

namespace {
// A record names most of its fields: room for a dozen from the first, rather than growing field by
// field (and small enough for the allocator to keep at hand).
constexpr std::size_t kUsualAssignments = 12;
} // namespace

void RecordBuffer::setText(std::string_view field, std::string_view value) {
    add(field, std::string(value));
}
void RecordBuffer::setInteger(std::string_view field, std::int64_t value) {
    add(field, value);
}
void RecordBuffer::setDouble(std::string_view field, double value) {
    add(field, value);
}
void RecordBuffer::setBool(std::string_view field, bool value) {
    add(field, value);
}
void RecordBuffer::setNull(std::string_view field) {
    add(field, std::monostate{});
}
void RecordBuffer::add(std::string_view field, Value value) {
    if (assigned_.capacity() == 0)
        assigned_.reserve(kUsualAssignments);
    assigned_.emplace_back(std::string(field), std::move(value));
}

// ---- Impl helpers ----

std::size_t Table::Impl::requireRecord(std::size_t position) const {
    requireOpen();
    if (position >= live.size())
        throw messages::tableError(name, "no existe el registro " + std::to_string(position + 1) +
                                             " (la tabla tiene " + std::to_string(live.size()) + ")");
    return position;
}

std::size_t Table::Impl::requirePublicField(std::string_view field) const {
    return requirePublicField(field, 0);
}

std::size_t Table::Impl::requirePublicField(std::string_view field, std::size_t from) const {
    // Writers name fields as the table spells them: found so, the name needs no folding (which
    // would make a new text for every value stored). Only where no two names fold alike, since the
    // first of those is the one a name stands for; then no two names are spelt alike either, and
    // the search may start anywhere.
    const std::size_t count = publicFields.size();
    if (publicByName.size() == count)
        for (std::size_t n = 0, i = from < count ? from : 0; n < count; ++n, i = i + 1 < count ? i + 1 : 0)
            if (publicFields[i].name == field)
                return i;
    auto it = publicByName.find(nameKey(field));
    if (it == publicByName.end())
        throw messages::tableError(name,
                                   "no tiene ningún campo llamado «" + messages::printable(field) + "»");
    return it->second;
}

const FieldLayout& Table::Impl::publicField(std::size_t position) const {
    if (position >= publicToLayout.size())
        throw messages::tableError(name, "no tiene campo número " + std::to_string(position + 1) +
                                             " (tiene " + std::to_string(publicToLayout.size()) + ")");
    return layout.fields[publicToLayout[position]];
}

void Table::Impl::refuseDropped(std::size_t position) const {
    throw messages::tableError(name, "el registro " + std::to_string(position + 1) +
                                         " ya se ha escrito en el archivo y esta apertura, que solo añade "
                                         "registros, no lo guarda para leerlo");
}

void Table::Impl::requireOpen() const {
    if (closed)
        throw messages::tableError(name, "la tabla ya está cerrada");
}

void Table::Impl::requireWritable() const {
    requireOpen();
    if (access != Access::ReadWrite)
        throw messages::tableError(name, "la tabla está abierta solo para lectura");
}

std::string Table::Impl::combinedKey(const std::vector<std::size_t>& fields, std::size_t position) const {
    const std::uint8_t* record = recordAt(position);
    const FieldSite site{name, position};
    if (fields.size() == 1)
        return lookupKey(layout, layout.fields[fields[0]], record, site);
    std::string key;
    for (std::size_t f : fields) {
        std::string part = lookupKey(layout, layout.fields[f], record, site);
        key += std::to_string(part.size());
        key += ':';
        key += part;
    }
    return key;
}

Lookups::KeyOf Table::Impl::keyOf() const {
    return [this](const std::vector<std::size_t>& fields, std::size_t position) {
        return combinedKey(fields, position);
    };
}

// ---- Table ----

Table::Table(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
Table::Table(Table&&) noexcept = default;
Table& Table::operator=(Table&& other) noexcept {
    if (this != &other) {
        if (impl_) {
            try {
                close();
            } catch (...) {
            }
        }
        impl_ = std::move(other.impl_);
    }
    return *this;
}

Table::~Table() {
    if (impl_) {
        try {
            close();
        } catch (...) {
            // A destructor cannot report; callers that care call close() themselves.
        }
    }
}

void Table::create(const std::filesystem::path& file, const std::vector<FieldSpec>& fields,
                   const std::optional<IndexSpec>& index, const std::optional<Date>& date) {
    const std::string name = platform::utf8Of(file);
    TableLayout layout = level7Layout(fields, name);
    const Date stamp = date.value_or(today());
    std::optional<MdxTagContent> tag;
    if (index) {
        const std::string wanted = nameKey(index->field);
        auto it = std::find_if(layout.fields.begin(), layout.fields.end(),
                               [&](const FieldLayout& f) { return nameKey(f.info.name) == wanted; });
        if (it == layout.fields.end())
            throw messages::tableError(
                name, "el índice «" + messages::printable(index->tag) + "» se refiere al campo «" +
                          messages::printable(index->field) + "», que la tabla no tiene");
        if (it->info.type != 'I')
            throw messages::fieldError(name, messages::printable(it->info.name),
                                       "solo se puede indexar un campo entero");
        if (index->tag.empty() || index->tag.size() > 32)
            throw messages::tableError(name, "el nombre del índice debe tener entre 1 y 32 caracteres");
        it->indexed = true;
        layout.hasProductionIndex = true;
        tag = MdxTagContent{nameKey(index->tag), it->info.name, 'I', 4, {}};
    }
    std::vector<std::uint8_t> bytes = buildLevel7Header(layout, stamp);
    bytes.push_back(kEndOfFile);
    TableFile::createNew(file, bytes);
    if (tag) {
        try {
            TableFile::replaceWhole(indexPathFor(file),
                                    buildMdx(platform::utf8Of(file.stem()), {*tag}, stamp,
                                             indexLanguageId(bytes.data(), bytes.size(), true)));
        } catch (...) {
            std::error_code ignored;
            std::filesystem::remove(file, ignored); // no table without the index it announces
            throw;
        }
    }
}

Table Table::open(const std::filesystem::path& file, OpenMode mode, Access access) {
    auto impl = std::make_unique<Impl>();
    impl->path = file;
    impl->name = platform::utf8Of(file);
    impl->access = access;
    impl->file = TableFile::open(file, mode, access);
    std::vector<std::uint8_t> data = impl->file.readAll();
    impl->layout = parseHeader(data.data(), data.size(), impl->name);
    impl->layout.text =
        codepage::tableText(codepage::declaredCodePage(data.data(), impl->layout.level7, impl->name));
    const TableLayout& layout = impl->layout;

    for (std::size_t i = 0; i < layout.fields.size(); ++i) {
        if (layout.fields[i].system)
            continue;
        FieldInfo info = layout.fields[i].info;
        if (layout.text.toAnsi != nullptr) // field names are in the table's code page too
            codepage::translate(info.name, *layout.text.toAnsi);
        impl->publicByName.emplace(nameKey(info.name), impl->publicFields.size());
        impl->publicFields.push_back(std::move(info));
        impl->publicToLayout.push_back(i);
    }
    impl->physicalCount = layout.recordCount;
    impl->flushedCount = layout.recordCount;
    impl->countInHeader = layout.headerRecordCount;
    if (layout.hasProductionIndex)
        impl->mdxPath = findIndexFile(file);
    impl->indexLanguage = indexLanguageId(data.data(), data.size(), layout.level7);
    // The records take over the bytes read, the header moved out of their way: a second copy of a
    // large table would double what opening it costs in memory and in time.
    const auto begin = data.begin() + static_cast<std::ptrdiff_t>(layout.headerLength);
    data.erase(data.begin(), begin);
    data.resize(layout.recordCount * layout.recordLength);
    impl->records = std::move(data);
    impl->live.reserve(layout.recordCount);
    for (std::size_t i = 0; i < layout.recordCount; ++i)
        if (impl->records[i * layout.recordLength] != kDeletedMark)
            impl->live.push_back(static_cast<std::uint32_t>(i));
    return Table(std::move(impl));
}

void Table::close() {
    if (!impl_ || impl_->closed)
        return;
    impl_->finish();
}

void Table::setUpdateDate(const Date& date) {
    impl_->updateDate = date;
}

const std::filesystem::path& Table::path() const {
    return impl_->path;
}
const std::vector<FieldInfo>& Table::fields() const {
    return impl_->publicFields;
}

std::optional<std::size_t> Table::fieldIndex(std::string_view name) const {
    auto it = impl_->publicByName.find(nameKey(name));
    if (it == impl_->publicByName.end())
        return std::nullopt;
    return it->second;
}

std::size_t Table::requireFieldIndex(std::string_view name) const {
    return impl_->requirePublicField(name);
}

std::size_t Table::recordCount() const {
    return impl_->live.size();
}

std::size_t Table::recordsBeyondHeaderCount() const {
    return impl_->layout.recordCount - impl_->layout.headerRecordCount;
}

std::size_t Table::headerRecordCount() const {
    return impl_->layout.headerRecordCount;
}

Value Table::value(std::size_t record, std::size_t field) const {
    const FieldLayout& f = impl_->publicField(field);
    impl_->requireRecord(record);
    return decodeField(impl_->layout, f, impl_->recordAt(record), FieldSite{impl_->name, record});
}

std::string Table::text(std::size_t record, std::size_t field) const {
    const FieldLayout& f = impl_->publicField(field);
    impl_->requireRecord(record);
    return fieldText(impl_->layout, f, impl_->recordAt(record), FieldSite{impl_->name, record});
}

Value Table::value(std::size_t record, std::string_view field) const {
    return value(record, impl_->requirePublicField(field));
}

std::string Table::text(std::size_t record, std::string_view field) const {
    return text(record, impl_->requirePublicField(field));
}

namespace {
Error notA(const std::string& table, std::size_t record, std::string_view field, const Value& v,
           std::string_view what) {
    std::string shown;
    if (auto* s = std::get_if<std::string>(&v))
        shown = messages::printable(*s);
    else if (auto* b = std::get_if<bool>(&v))
        shown = *b ? "verdadero" : "falso";
    else if (auto* d = std::get_if<double>(&v))
        shown = formatDouble(*d);
    return messages::fieldError(table, messages::printable(field),
                                "el registro " + std::to_string(record + 1) + " guarda «" + shown +
                                    "», que no es " + std::string(what));
}
} // namespace

std::optional<std::int64_t> Table::integer(std::size_t record, std::string_view field) const {
    const Value v = value(record, field);
    std::optional<std::int64_t> number;
    if (!readWholeNumber(v, number))
        throw notA(impl_->name, record, field, v, "un número entero");
    return number;
}

std::optional<double> Table::number(std::size_t record, std::string_view field) const {
    const Value v = value(record, field);
    std::optional<double> number;
    if (!readNumber(v, number))
        throw notA(impl_->name, record, field, v, "un número");
    return number;
}

std::optional<bool> Table::boolean(std::size_t record, std::string_view field) const {
    const Value v = value(record, field);
    if (std::holds_alternative<std::monostate>(v))
        return std::nullopt;
    if (auto* b = std::get_if<bool>(&v))
        return *b;
    if (auto* s = std::get_if<std::string>(&v)) {
        if (s->empty())
            return std::nullopt;
        if (*s == "T" || *s == "t" || *s == "Y" || *s == "y")
            return true;
        if (*s == "F" || *s == "f" || *s == "N" || *s == "n")
            return false;
    }
    throw notA(impl_->name, record, field, v, "verdadero ni falso");
}

namespace {
// The first live record whose fields `fields` (positions in the layout) have the query keys `parts`.
std::optional<std::size_t> firstMatch(Table::Impl& impl, const std::vector<std::size_t>& fields,
                                      std::vector<std::string>& parts) {
    std::string key;
    if (parts.size() == 1) {
        key = std::move(parts[0]);
    } else {
        std::size_t length = 0;
        for (const auto& part : parts)
            length += part.size() + 12;
        key.reserve(length);
        for (const auto& part : parts) {
            key += std::to_string(part.size());
            key += ':';
            key += part;
        }
    }
    return impl.lookups.first(fields, key, impl.live.size(), impl.keyOf());
}
} // namespace

std::optional<std::size_t> Table::locate(const std::vector<std::pair<std::string, Value>>& equals) const {
    impl_->requireOpen();
    if (equals.empty())
        return impl_->live.empty() ? std::nullopt : std::optional<std::size_t>(0);
    std::vector<std::size_t> fields;
    std::vector<std::string> parts;
    for (const auto& [name, wanted] : equals) {
        const std::size_t f = impl_->requireLayoutField(name);
        auto key = queryKey(impl_->layout.fields[f], wanted);
        if (!key)
            return std::nullopt;
        fields.push_back(f);
        parts.push_back(std::move(*key));
    }
    return firstMatch(*impl_, fields, parts);
}

std::optional<std::size_t> Table::locate(const std::vector<std::size_t>& fields,
                                         const std::vector<Value>& equals) const {
    impl_->requireOpen();
    if (fields.size() != equals.size())
        throw messages::tableError(impl_->name, "se busca por " + std::to_string(fields.size()) +
                                                    " campos con " + std::to_string(equals.size()) +
                                                    " valores");
    if (fields.empty())
        return impl_->live.empty() ? std::nullopt : std::optional<std::size_t>(0);
    // The same key as firstMatch builds, in the opening's reused buffers.
    std::vector<std::size_t>& layoutFields = impl_->lookupFields;
    std::string& key = impl_->lookupKeyBuffer;
    layoutFields.clear();
    key.clear();
    for (std::size_t i = 0; i < fields.size(); ++i) {
        const FieldLayout& f = impl_->publicField(fields[i]); // an unknown position is an error
        const auto part = queryKey(f, equals[i]);
        if (!part)
            return std::nullopt;
        layoutFields.push_back(impl_->publicToLayout[fields[i]]);
        if (fields.size() > 1) {
            char length[24];
            const auto written = std::to_chars(length, length + sizeof length, part->size());
            key.append(length, written.ptr);
            key += ':';
        }
        key += *part;
    }
    return impl_->lookups.first(layoutFields, key, impl_->live.size(), impl_->keyOf());
}

std::vector<std::size_t> Table::select(std::string_view field, const Value& equals) const {
    impl_->requireOpen();
    const std::size_t f = impl_->requireLayoutField(field);
    auto key = queryKey(impl_->layout.fields[f], equals);
    if (!key)
        return {};
    return impl_->lookups.all({f}, *key, impl_->live.size(), impl_->keyOf());
}

} // namespace pontrel::dbf
