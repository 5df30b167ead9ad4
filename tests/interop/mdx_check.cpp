// mdx-check: Pontrel's side of the interoperability check with another dBase engine.
//
//   mdx-check make TABLE.DBF COUNT SEED
//       Creates a table shaped like DIASHORAST2 with its ORDEN index, with Pontrel's engine, and fills
//       it with COUNT records: negative, repeated, extreme and NULL ORDEN values.
//   mdx-check check TABLE.DBF [--deleted-keep] [--ties-in-record-order] [--min-header-page N] [--walk FILE]
//       Reads the .MDX on its own (not with the engine's reader) and checks the tree of tag ORDEN:
//       balanced, no page twice, keys ascending (with --ties-in-record-order equal keys in record
//       order, as Pontrel writes them; TDbf puts a changed key after the equal ones already there),
//       each inner key the highest key of its child, every live record exactly once with its own key, a
//       deleted record at most once (with --deleted-keep: exactly once, as dBase keeps it), the tag header at
//       page N or later. Then opens the table with Pontrel's engine, shared and exclusive, reads every
//       record, and checks that the engine's order by ORDEN and its ORDEN lookups give the records the tree
//       gives. --walk compares the tree with a walk by another engine (lines "record<TAB>key", key empty for
//       NULL).
//
// Exit status 0, or 1 with the faults on standard error.

#include "support/Bytes.h"

#include "dbf/Table.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

using namespace pontrel::dbf;

namespace {

using Bytes = std::vector<std::uint8_t>;
using Key = std::array<std::uint8_t, 4>;

int faults = 0;

std::ostream& fault() {
    ++faults;
    return std::cerr << "mdx-check: ";
}

using pontrel::testing::le16;
using pontrel::testing::le32;
using pontrel::testing::readBytes;

// The level-7 stored form of ORDEN, which is its key: big-endian with the sign bit flipped; NULL is
// all zero.
Key keyOf(std::optional<std::int64_t> v) {
    if (!v)
        return {0, 0, 0, 0};
    const std::uint32_t u = static_cast<std::uint32_t>(*v) ^ 0x80000000u;
    return {static_cast<std::uint8_t>(u >> 24), static_cast<std::uint8_t>(u >> 16),
            static_cast<std::uint8_t>(u >> 8), static_cast<std::uint8_t>(u)};
}

// The value a key stands for: NULL or the integer.
Value valueOf(const Key& k) {
    const std::uint32_t u = (static_cast<std::uint32_t>(k[0]) << 24) | (k[1] << 16) | (k[2] << 8) | k[3];
    if (u == 0)
        return Value{};
    return Value{static_cast<std::int64_t>(static_cast<std::int32_t>(u ^ 0x80000000u))};
}

std::string show(const Key& k) {
    const Value v = valueOf(k);
    return std::holds_alternative<std::int64_t>(v) ? std::to_string(std::get<std::int64_t>(v)) : "NULL";
}

// ---- making a table with Pontrel's engine ----

const std::vector<FieldSpec> kSlotFields = {
    {"DIHO", 'C', 10},   {"CODDIHO", 'C', 10},  {"DIA", 'C', 20},      {"TEXTODIA", 'C', 20},
    {"HORA", 'C', 8},    {"TEXTOHOR", 'C', 15}, {"HORADESDE", 'C', 8}, {"HORAHASTA", 'C', 8},
    {"MINUTOS", 'C', 8}, {"MARCO", 'C', 1},     {"MARCOXML", 'C', 10}, {"ORDEN", 'I', 0},
};

int make(const std::filesystem::path& file, std::size_t count, std::uint32_t seed) {
    Table::create(file, kSlotFields, IndexSpec{"ORDEN", "ORDEN"});
    Table t = Table::open(file, OpenMode::Exclusive, Access::ReadWrite);
    auto next = [&seed] {
        seed = seed * 1103515245u + 12345u;
        return seed >> 8;
    };
    for (std::size_t i = 1; i <= count; ++i) {
        RecordBuffer b;
        b.setText("DIHO", "P" + std::to_string(i));
        b.setText("DIA", "S\xE1"
                         "bado");
        b.setText("MARCO", "0");
        switch (i % 8) {
        case 0:
            break; // NULL
        case 1:
            b.setInteger("ORDEN", 2147483647);
            break;
        case 2:
            b.setInteger("ORDEN", -2147483647);
            break;
        case 3:
        case 4:
            b.setInteger("ORDEN", static_cast<std::int64_t>(next() % 21) - 10);
            break;
        case 5:
            b.setInteger("ORDEN", static_cast<std::int64_t>(next() % 2000001) - 1000000);
            break;
        default:
            b.setInteger("ORDEN", static_cast<std::int32_t>(next() * 2654435761u) | 1);
        }
        t.append(b);
    }
    t.close();
    return 0;
}

// ---- checking a table and its index ----

struct LeafEntry {
    std::uint32_t record; // physical, from 1
    Key key;
};

struct TreeWalk {
    const Bytes& f;
    std::size_t entryLength;
    std::size_t slots;
    std::set<std::uint32_t> visited;
    std::vector<LeafEntry> leaves;
    int leafDepth = 0;

    // Returns the highest key under `page`.
    Key walk(std::uint32_t page, int depth) {
        const std::size_t at = static_cast<std::size_t>(page) * 512;
        if (at + 1024 > f.size() || page < 4) {
            fault() << "node page " << page << " lies outside the file or in its header\n";
            return {};
        }
        if (!visited.insert(page).second || depth > 16) {
            fault() << "page " << page << " is reached twice\n";
            return {};
        }
        const std::uint32_t count = le32(f, at);
        if (count >= slots) {
            fault() << "page " << page << " counts " << count << " entries, room for " << slots - 1 << "\n";
            return {};
        }
        auto entry = [&](std::size_t i) { return at + 8 + i * entryLength; };
        auto keyAt = [&](std::size_t i) {
            Key k;
            std::memcpy(k.data(), &f[entry(i) + 4], 4);
            return k;
        };
        if (le32(f, entry(count)) == 0) { // a leaf
            if (leafDepth == 0)
                leafDepth = depth;
            if (depth != leafDepth)
                fault() << "leaf page " << page << " at depth " << depth << ", others at " << leafDepth
                        << "\n";
            for (std::size_t i = 0; i < count; ++i)
                leaves.push_back(LeafEntry{le32(f, entry(i)), keyAt(i)});
            return count ? keyAt(count - 1) : Key{};
        }
        Key highest{};
        for (std::size_t i = 0; i <= count; ++i) {
            highest = walk(le32(f, entry(i)), depth + 1);
            if (i < count && keyAt(i) != highest)
                fault() << "inner page " << page << " entry " << i << " holds key " << show(keyAt(i))
                        << ", its child's highest is " << show(highest) << "\n";
        }
        return highest;
    }
};

struct TableRecords {
    std::vector<bool> deleted; // by physical record, from 0
    std::vector<Key> keys;
};

// The records' deletion marks and ORDEN bytes, read from the file itself.
TableRecords readRecords(const Bytes& dbf) {
    TableRecords r;
    if (dbf.size() < 69) {
        fault() << "the table is shorter than a level-7 header\n";
        return r;
    }
    const std::uint32_t count = le32(dbf, 4);
    const std::size_t headerLength = le16(dbf, 8), recordLength = le16(dbf, 10);
    std::size_t ordenAt = 0, offset = 1;
    for (std::size_t d = 68; d + 48 <= headerLength && dbf[d] != 0x0D; d += 48) {
        if (std::string(reinterpret_cast<const char*>(&dbf[d])) == "ORDEN")
            ordenAt = offset;
        offset += dbf[d + 33];
    }
    if (ordenAt == 0 || headerLength + count * recordLength > dbf.size()) {
        fault() << "the table has no ORDEN field or is shorter than its records\n";
        return r;
    }
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t at = headerLength + i * recordLength;
        r.deleted.push_back(dbf[at] == '*');
        Key k;
        std::memcpy(k.data(), &dbf[at + ordenAt], 4);
        r.keys.push_back(k);
    }
    return r;
}

std::filesystem::path indexOf(const std::filesystem::path& table) {
    for (const char* ext : {".MDX", ".mdx"}) {
        auto p = table;
        p.replace_extension(ext);
        if (std::filesystem::exists(p))
            return p;
    }
    return {};
}

// The live records in tree order (physical numbers from 1).
std::vector<std::uint32_t> checkTree(const std::filesystem::path& table, const TableRecords& records,
                                     bool deletedKeep, bool tiesInRecordOrder, std::uint32_t minHeaderPage,
                                     std::string& summary) {
    const auto mdxPath = indexOf(table);
    if (mdxPath.empty()) {
        fault() << table << " has no .MDX beside it\n";
        return {};
    }
    const Bytes f = readBytes(mdxPath);
    if (f.size() < 2048 || f[0] != 3 || le16(f, 22) != 1024 || f[26] != 43) {
        fault() << mdxPath << " is not a level-7 index of 1024-byte blocks\n";
        return {};
    }
    if (le32(f, 32) * 512ull != f.size())
        fault() << "the file header counts " << le32(f, 32) << " pages, the file has " << f.size() / 512
                << "\n";
    std::size_t tag = 0;
    for (std::size_t i = 0; i < le16(f, 28); ++i)
        if (std::string(reinterpret_cast<const char*>(&f[512 + 43 * (i + 1) + 4])) == "ORDEN")
            tag = 512 + 43 * (i + 1);
    if (tag == 0) {
        fault() << mdxPath << " has no tag ORDEN\n";
        return {};
    }
    const std::uint32_t headerPage = le32(f, tag);
    if (headerPage < minHeaderPage)
        fault() << "the tag header lies at page " << headerPage << ", inside the header region (pages 0-"
                << minHeaderPage - 1 << ")\n";
    const std::size_t h = static_cast<std::size_t>(headerPage) * 512;
    if (h + 1024 > f.size() || le16(f, h + 12) != 4 || f[h + 9] != 'I' || le16(f, h + 18) != 8) {
        fault() << "the tag header at page " << headerPage << " is not that of a 4-byte I key\n";
        return {};
    }
    TreeWalk tree{f, 8, (1024 - 8) / 8, {}, {}, 0};
    tree.walk(le32(f, h), 1);

    std::vector<int> seen(records.keys.size(), 0);
    std::vector<std::uint32_t> live;
    for (std::size_t i = 0; i < tree.leaves.size(); ++i) {
        const LeafEntry& e = tree.leaves[i];
        if (i > 0) {
            const LeafEntry& p = tree.leaves[i - 1];
            if (e.key < p.key || (e.key == p.key && tiesInRecordOrder && e.record <= p.record))
                fault() << "record " << e.record << " (" << show(e.key) << ") follows record " << p.record
                        << " (" << show(p.key) << ")\n";
        }
        if (e.record < 1 || e.record > records.keys.size()) {
            fault() << "the tree names record " << e.record << " of " << records.keys.size() << "\n";
            continue;
        }
        if (++seen[e.record - 1] > 1)
            fault() << "record " << e.record << " is in the tree twice\n";
        if (records.keys[e.record - 1] != e.key)
            fault() << "record " << e.record << " has ORDEN " << show(records.keys[e.record - 1])
                    << ", its entry says " << show(e.key) << "\n";
        if (!records.deleted[e.record - 1])
            live.push_back(e.record);
    }
    std::size_t deleted = 0, deletedIndexed = 0;
    for (std::size_t r = 0; r < seen.size(); ++r) {
        if (records.deleted[r]) {
            ++deleted;
            deletedIndexed += seen[r] ? 1 : 0;
            if (deletedKeep && !seen[r])
                fault() << "deleted record " << r + 1 << " lost its key\n";
        } else if (!seen[r]) {
            fault() << "live record " << r + 1 << " is not in the tree\n";
        }
    }
    summary = std::to_string(live.size()) + " live records, " + std::to_string(deleted) + " deleted (" +
              std::to_string(deletedIndexed) + " keeping their key), tree depth " +
              std::to_string(tree.leafDepth) + ", tag header at page " + std::to_string(headerPage);
    return live;
}

// The engine's view: every record read, its order by ORDEN and its lookups by ORDEN.
void checkEngine(const std::filesystem::path& file, OpenMode mode, const TableRecords& records,
                 const std::vector<std::uint32_t>& treeLive) {
    const char* modeName = mode == OpenMode::Shared ? "shared" : "exclusive";
    try {
        Table t = Table::open(file, mode);
        std::vector<std::uint32_t> physical; // live position -> physical number from 1
        for (std::size_t r = 0; r < records.deleted.size(); ++r)
            if (!records.deleted[r])
                physical.push_back(static_cast<std::uint32_t>(r + 1));
        if (t.recordCount() != physical.size()) {
            fault() << modeName << ": the engine reads " << t.recordCount() << " records of "
                    << physical.size() << "\n";
            return;
        }
        for (std::size_t r = 0; r < t.recordCount(); ++r) {
            for (std::size_t f = 0; f < t.fields().size(); ++f)
                (void)t.value(r, f);
            if (keyOf(t.integer(r, "ORDEN")) != records.keys[physical[r] - 1])
                fault() << modeName << ": record " << physical[r] << " reads another ORDEN\n";
        }
        const auto order = t.indexOrder("ORDEN");
        std::vector<std::uint32_t> engineOrder;
        for (std::size_t p : order)
            engineOrder.push_back(physical.at(p));
        if (engineOrder != treeLive)
            fault() << modeName << ": the engine's order by ORDEN differs from the tree's\n";
        // Lookups by value give the first record in stored order: the lowest-numbered record of
        // that key in the tree.
        std::map<Key, std::uint32_t> firstOfKey;
        for (std::uint32_t r : treeLive) {
            auto [it, added] = firstOfKey.emplace(records.keys[r - 1], r);
            if (!added && r < it->second)
                it->second = r;
        }
        for (const auto& [key, first] : firstOfKey) {
            const std::optional<std::size_t> found = t.locate({{"ORDEN", valueOf(key)}});
            if (!found || physical.at(*found) != first)
                fault() << modeName << ": looking up ORDEN " << show(key) << " gives record "
                        << (found ? std::to_string(physical.at(*found)) : "none") << ", the tree " << first
                        << "\n";
        }
    } catch (const std::exception& e) {
        fault() << modeName << ": " << e.what() << "\n";
    }
}

void compareWalk(const std::filesystem::path& walkFile, const TableRecords& records,
                 const std::vector<std::uint32_t>& treeLive) {
    std::ifstream in(walkFile);
    std::string line;
    std::size_t i = 0;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::uint32_t record = 0;
        fields >> record;
        std::string value;
        fields >> value;
        const Key key = value.empty() ? Key{} : keyOf(std::stoll(value));
        if (i >= treeLive.size() || treeLive[i] != record || records.keys[record - 1] != key) {
            fault() << walkFile << " line " << i + 1 << ": record " << record << " (" << value
                    << "), the tree has " << (i < treeLive.size() ? std::to_string(treeLive[i]) : "nothing")
                    << "\n";
            return;
        }
        ++i;
    }
    if (i != treeLive.size())
        fault() << walkFile << " walks " << i << " records, the tree holds " << treeLive.size() << "\n";
}

int check(const std::filesystem::path& file, bool deletedKeep, bool tiesInRecordOrder,
          std::uint32_t minHeaderPage, const std::filesystem::path& walkFile) {
    const TableRecords records = readRecords(readBytes(file));
    std::string summary;
    const auto live = checkTree(file, records, deletedKeep, tiesInRecordOrder, minHeaderPage, summary);
    if (faults == 0) {
        checkEngine(file, OpenMode::Shared, records, live);
        checkEngine(file, OpenMode::Exclusive, records, live);
        if (!walkFile.empty())
            compareWalk(walkFile, records, live);
    }
    if (faults) {
        std::cerr << "mdx-check: " << file << ": " << faults << " faults\n";
        return 1;
    }
    std::cout << file.filename().string() << ": " << summary << "\n";
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    try {
        if (args.size() == 4 && args[0] == "make")
            return make(args[1], std::stoul(args[2]), static_cast<std::uint32_t>(std::stoul(args[3])));
        if (args.size() >= 2 && args[0] == "check") {
            bool deletedKeep = false, tiesInRecordOrder = false;
            std::uint32_t minHeaderPage = 0;
            std::filesystem::path walkFile;
            for (std::size_t i = 2; i < args.size(); ++i) {
                if (args[i] == "--deleted-keep")
                    deletedKeep = true;
                else if (args[i] == "--ties-in-record-order")
                    tiesInRecordOrder = true;
                else if (args[i] == "--min-header-page" && i + 1 < args.size())
                    minHeaderPage = static_cast<std::uint32_t>(std::stoul(args[++i]));
                else if (args[i] == "--walk" && i + 1 < args.size())
                    walkFile = args[++i];
                else
                    throw std::runtime_error("unknown argument " + args[i]);
            }
            return check(args[1], deletedKeep, tiesInRecordOrder, minHeaderPage, walkFile);
        }
    } catch (const std::exception& e) {
        std::cerr << "mdx-check: " << e.what() << "\n";
        return 1;
    }
    std::cerr << "usage: mdx-check make TABLE.DBF COUNT SEED | check TABLE.DBF [--deleted-keep] "
                 "[--ties-in-record-order] [--min-header-page N] [--walk FILE]\n";
    return 2;
}
