// Appending and updating records, the production index, and closing.
//
// Crash safety: appended records are buffered and written in batches; after each batch the header's
// record count is brought up to date, always after the records it counts. A program killed in the
// middle of appending thus leaves a table that opens with every record of the batches written so far
// (bytes past the counted records are ignored when reading and cut off at the next close). Close
// writes the remaining records, the end marker, and the header last. The index is rebuilt whole at
// close into a temporary file renamed over the old one, so it is never half written.

#include "dbf/FieldCodec.h"
#include "dbf/Messages.h"
#include "dbf/TableImpl.h"

#include "dbf/Bytes.h"
#include "platform/Utf8Path.h"

#include <algorithm>
#include <cstring>

namespace pontrel::dbf {

namespace {
// Records are written to the file in batches of about this many bytes.
constexpr std::size_t kFlushBytes = 256 * 1024;

bool rawKeyComparable(const TableLayout& layout, const FieldLayout& f) {
    switch (f.info.type) {
    case 'I':
    case '+':
    case 'O':
        return layout.integers == IntegerStorage::Level7;
    case 'C':
    case 'D':
        return true;
    default:
        return false;
    }
}
} // namespace

// ---- the production index ----

const MdxFile& Table::Impl::loadMdx() {
    if (!mdx) {
        if (!mdxPath)
            throw messages::tableError(name, "no tiene índice de producción (.MDX)");
        TableFile indexFile = TableFile::open(*mdxPath, OpenMode::Shared, Access::ReadOnly);
        mdx = MdxFile::parse(indexFile.readAll(), platform::utf8Of(*mdxPath));
    }
    return *mdx;
}

// What a change of keys needs to rebuild the index at close; checked before anything is changed,
// so that a table whose index this engine cannot rebuild is left as it was.
const std::vector<TagPlan>& Table::Impl::plansForChange() {
    if (tagPlans)
        return *tagPlans;
    std::vector<TagPlan> plans;
    for (const MdxTagInfo& tag : loadMdx().tags()) {
        const std::string wanted = nameKey(tag.expression);
        auto it = std::find_if(layout.fields.begin(), layout.fields.end(),
                               [&](const FieldLayout& f) { return nameKey(f.info.name) == wanted; });
        if (it == layout.fields.end() || tag.descending || !rawKeyComparable(layout, *it) ||
            tag.keyLength != it->info.width)
            throw messages::tableError(
                name, "su índice «" + messages::printable(tag.name) + "» (clave «" +
                          messages::printable(tag.expression) +
                          "») no lo puede mantener este programa; la tabla no se ha modificado");
        plans.push_back(TagPlan{tag.name, it->info.name, tag.keyType,
                                static_cast<std::size_t>(it - layout.fields.begin())});
    }
    tagPlans = std::move(plans);
    return *tagPlans;
}

bool Table::Impl::changesIndexKeys(const std::vector<std::size_t>& fields) {
    if (!layout.hasProductionIndex || !mdxPath)
        return false;
    for (const TagPlan& plan : plansForChange())
        if (std::find(fields.begin(), fields.end(), plan.field) != fields.end())
            return true;
    return false;
}

void Table::Impl::rebuildIndex() {
    std::vector<MdxTagContent> tags;
    for (const TagPlan& plan : *tagPlans) {
        const FieldLayout& f = layout.fields[plan.field];
        MdxTagContent tag{plan.name, plan.expression, plan.keyType, f.info.width, {}};
        tag.entries.reserve(live.size());
        for (std::uint32_t physical : live) {
            const std::uint8_t* key =
                records.data() + static_cast<std::size_t>(physical) * layout.recordLength + f.offset;
            tag.entries.push_back(MdxEntry{std::vector<std::uint8_t>(key, key + f.info.width), physical + 1});
        }
        // Stable: equal keys stay in record order.
        std::stable_sort(tag.entries.begin(), tag.entries.end(),
                         [](const MdxEntry& a, const MdxEntry& b) { return a.key < b.key; });
        tags.push_back(std::move(tag));
    }
    TableFile::replaceWhole(
        *mdxPath, buildMdx(platform::utf8Of(path.stem()), tags, updateDate.value_or(today()), indexLanguage));
    mdx.reset();
    indexDirty = false;
}

std::vector<std::size_t> Table::indexOrder(std::string_view tag) const {
    Impl& impl = *impl_;
    impl.requireOpen();
    const std::string wanted = nameKey(tag);
    if (impl.indexDirty) {
        // Records changed since the index was written: order them as the rebuilt index will.
        for (const TagPlan& plan : *impl.tagPlans) {
            if (nameKey(plan.name) != wanted)
                continue;
            const FieldLayout& f = impl.layout.fields[plan.field];
            std::vector<std::size_t> order(impl.live.size());
            for (std::size_t i = 0; i < order.size(); ++i)
                order[i] = i;
            const auto width = static_cast<std::size_t>(f.info.width);
            std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
                return std::memcmp(impl.recordAt(a) + f.offset, impl.recordAt(b) + f.offset, width) < 0;
            });
            return order;
        }
        throw messages::tableError(impl.name,
                                   "su índice no tiene la etiqueta «" + messages::printable(tag) + "»");
    }
    const MdxFile& mdx = impl.loadMdx();
    for (std::size_t t = 0; t < mdx.tags().size(); ++t) {
        if (nameKey(mdx.tags()[t].name) != wanted)
            continue;
        // Physical record numbers (from 1) to live positions; deleted records are skipped.
        std::vector<std::int64_t> livePosition(impl.physicalCount, -1);
        for (std::size_t i = 0; i < impl.live.size(); ++i)
            livePosition[impl.live[i]] = static_cast<std::int64_t>(i);
        std::vector<std::size_t> order;
        for (const MdxEntry& e : mdx.entriesInOrder(t)) {
            if (e.record == 0 || e.record > impl.physicalCount)
                throw Error("El índice «" + platform::utf8Of(*impl.mdxPath) +
                            "» está dañado: señala el registro " + std::to_string(e.record) +
                            " y la tabla tiene " + std::to_string(impl.physicalCount) + ".");
            if (livePosition[e.record - 1] >= 0)
                order.push_back(static_cast<std::size_t>(livePosition[e.record - 1]));
        }
        // An index behind its table (records appended by an engine that left the index as it was)
        // would leave records out of the order without a word.
        if (order.size() != impl.live.size())
            throw Error("El índice «" + platform::utf8Of(*impl.mdxPath) + "» no está al día: ordena " +
                        std::to_string(order.size()) + " registros y la tabla «" + impl.name + "» tiene " +
                        std::to_string(impl.live.size()) + ".");
        return order;
    }
    throw messages::tableError(impl.name,
                               "su índice no tiene la etiqueta «" + messages::printable(tag) + "»");
}

// ---- writing ----

namespace {
// Assigns `assigned` over the record at `record`, noting the fields touched in `fields` when given.
void assign(const Table::Impl& impl, std::uint8_t* record,
            const std::vector<std::pair<std::string, Value>>& assigned, std::vector<std::size_t>* fields) {
    std::size_t next = 0; // the public field after the one named last
    for (const auto& [field, value] : assigned) {
        const std::size_t named = impl.requirePublicField(field, next);
        next = named + 1;
        const std::size_t f = impl.publicToLayout[named];
        encodeField(impl.layout, impl.layout.fields[f], value, record, impl.name);
        if (fields && std::find(fields->begin(), fields->end(), f) == fields->end())
            fields->push_back(f);
    }
}
} // namespace

std::size_t Table::append(const RecordBuffer& values) {
    Impl& impl = *impl_;
    impl.requireWritable();
    if (impl.physicalCount >= 0xFFFFFFFFu)
        throw messages::tableError(impl.name, "no caben más registros");
    const bool indexed = impl.layout.hasProductionIndex && impl.mdxPath;
    if (indexed)
        impl.plansForChange();
    // Built in place at the end of the records; a value the field cannot hold takes it away again,
    // so that a refused record leaves nothing behind.
    const std::size_t at = impl.records.size();
    impl.records.resize(at + impl.layout.recordLength);
    try {
        fillNullRecord(impl.layout, impl.records.data() + at);
        assign(impl, impl.records.data() + at, values.assigned_, nullptr);
    } catch (...) {
        impl.records.resize(at);
        throw;
    }
    const std::size_t position = impl.live.size();
    impl.live.push_back(static_cast<std::uint32_t>(impl.physicalCount));
    ++impl.physicalCount;
    impl.appended = true;
    impl.changed = true;
    impl.indexDirty = impl.indexDirty || indexed;
    impl.lookups.appended(position, impl.keyOf());
    if ((impl.physicalCount - impl.flushedCount) * impl.layout.recordLength >= kFlushBytes)
        impl.flush();
    return position;
}

void Table::appendOnly() {
    Impl& impl = *impl_;
    impl.requireWritable();
    impl.appendOnly = true;
    impl.dropWritten();
}

void Table::update(std::size_t record, const RecordBuffer& values) {
    Impl& impl = *impl_;
    impl.requireWritable();
    impl.requireRecord(record);
    // The record is changed in a copy first: a refused value changes nothing.
    std::vector<std::size_t> fields;
    std::vector<std::uint8_t> bytes(impl.recordAt(record), impl.recordAt(record) + impl.layout.recordLength);
    assign(impl, bytes.data(), values.assigned_, &fields);
    const bool keysChange = impl.changesIndexKeys(fields);

    const std::uint32_t physical = impl.live[record];
    if (physical < impl.flushedCount) {
        TableFile::WriterLock lock(impl.file);
        impl.file.writeAt(impl.layout.headerLength +
                              static_cast<std::uint64_t>(physical) * impl.layout.recordLength,
                          bytes.data(), bytes.size());
    }
    const auto change = impl.lookups.beforeChange(record, fields, impl.keyOf());
    std::memcpy(impl.records.data() + (physical - impl.droppedCount) * impl.layout.recordLength, bytes.data(),
                bytes.size());
    impl.lookups.afterChange(record, fields, change, impl.keyOf());
    impl.changed = true;
    impl.indexDirty = impl.indexDirty || keysChange;
}

void Table::Impl::writeHeaderCount(std::size_t count) {
    std::uint8_t stamp[7];
    stampDate(stamp, updateDate.value_or(today()));
    bytes::writeU32LE(stamp + 3, static_cast<std::uint32_t>(count));
    file.writeAt(1, stamp, sizeof stamp);
    countInHeader = count;
}

void Table::Impl::flush() {
    if (flushedCount == physicalCount)
        return;
    TableFile::WriterLock lock(file);
    // Another opening that appended in the meantime would have its records overwritten: refuse.
    std::uint8_t counted[4];
    if (!file.readAt(kCountOffset, counted, sizeof counted) || bytes::readU32LE(counted) != countInHeader)
        throw messages::tableError(name, "otro programa ha añadido registros mientras se escribía; "
                                         "los registros nuevos no se han guardado");
    const std::size_t length = layout.recordLength;
    file.writeAt(layout.headerLength + static_cast<std::uint64_t>(flushedCount) * length,
                 records.data() + (flushedCount - droppedCount) * length,
                 (physicalCount - flushedCount) * length);
    writeHeaderCount(physicalCount);
    flushedCount = physicalCount;
    dropWritten();
}

void Table::Impl::dropWritten() {
    // What is in the file need not stay in memory, unless the index is rebuilt from it. (The lookups
    // made so far hold the keys they need.) The memory stays for the records still to come.
    if (appendOnly && flushedCount == physicalCount && !(layout.hasProductionIndex && mdxPath)) {
        records.clear();
        droppedCount = physicalCount;
    }
}

void Table::Impl::finish() {
    struct Release {
        Impl& impl;
        ~Release() {
            impl.file.close();
            impl.closed = true;
        }
    } release{*this};
    if (access != Access::ReadWrite || !changed)
        return;
    flush();
    const std::uint64_t end =
        layout.headerLength + static_cast<std::uint64_t>(physicalCount) * layout.recordLength;
    if (appended) {
        const std::uint8_t marker = kEndOfFile;
        TableFile::WriterLock lock(file);
        file.writeAt(end, &marker, 1);
        file.truncate(end + 1);
    }
    writeHeaderCount(physicalCount);
    if (appended)
        file.startWritingToDisk(end + 1);
    if (indexDirty)
        rebuildIndex();
}

} // namespace pontrel::dbf
