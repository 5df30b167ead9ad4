#include "dbf/Lookups.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <stdexcept>

namespace pontrel::dbf {

// ---- Index ----

std::uint32_t Lookups::Index::hashOf(std::string_view key) {
    // The library's hash reads the key eight bytes at a time (a byte-by-byte one is a chain of
    // multiplications as long as the key) and mixes it so that the low bits, the slot, depend on
    // every byte.
    const std::uint64_t h = std::hash<std::string_view>{}(key);
    return static_cast<std::uint32_t>(h ^ (h >> 32));
}

std::string_view Lookups::Index::keyAt(const Slot& slot) const {
    std::uint32_t length = 0;
    std::memcpy(&length, keys_.data() + slot.key, sizeof length);
    return {keys_.data() + slot.key + sizeof length, length};
}

std::size_t Lookups::Index::slotOf(std::uint32_t hash, std::string_view key) const {
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
        const Slot& slot = slots_[i];
        if (slot.key == kNone || (slot.hash == hash && keyAt(slot) == key))
            return i;
    }
}

void Lookups::Index::grow() {
    std::vector<Slot> old = std::move(slots_);
    slots_.assign(std::max<std::size_t>(16, old.size() * 2), Slot{});
    const std::size_t mask = slots_.size() - 1;
    for (const Slot& slot : old) {
        if (slot.key == kNone)
            continue;
        std::size_t i = slot.hash & mask;
        while (slots_[i].key != kNone)
            i = (i + 1) & mask;
        slots_[i] = slot;
    }
}

void Lookups::Index::build(std::size_t recordCount, const std::vector<std::size_t>& fields,
                           const KeyOf& keyOf) {
    // The slots grow with the distinct keys, not the records: a field with few values stays small.
    slots_.assign(16, Slot{});
    used_ = 0;
    keys_.clear();
    next_.assign(recordCount, kNone);
    for (std::size_t i = 0; i < recordCount; ++i)
        add(static_cast<std::uint32_t>(i), keyOf(fields, i));
}

std::uint32_t Lookups::Index::firstOf(std::string_view key) const {
    if (slots_.empty())
        return kNone;
    return slots_[slotOf(hashOf(key), key)].first; // kNone in an empty slot
}

void Lookups::Index::add(std::uint32_t position, std::string_view key) {
    if (position >= next_.size())
        next_.resize(static_cast<std::size_t>(position) + 1, kNone);
    if ((used_ + 1) * 2 > slots_.size())
        grow();
    const std::uint32_t hash = hashOf(key);
    Slot& slot = slots_[slotOf(hash, key)];
    if (slot.key == kNone) {
        const auto length = static_cast<std::uint32_t>(key.size());
        if (keys_.size() + sizeof length + key.size() >= kNone)
            throw std::length_error("lookup keys beyond 4 GB");
        slot.hash = hash;
        slot.key = static_cast<std::uint32_t>(keys_.size());
        keys_.append(reinterpret_cast<const char*>(&length), sizeof length);
        keys_.append(key);
        ++used_;
    }
    if (slot.first == kNone) {
        slot.first = slot.last = position;
        next_[position] = kNone;
    } else if (position > slot.last) { // the usual case: appended, or built in stored order
        next_[slot.last] = position;
        slot.last = position;
        next_[position] = kNone;
    } else if (position < slot.first) {
        next_[position] = slot.first;
        slot.first = position;
    } else {
        std::uint32_t p = slot.first;
        while (next_[p] != kNone && next_[p] < position)
            p = next_[p];
        next_[position] = next_[p];
        next_[p] = position;
    }
}

void Lookups::Index::remove(std::uint32_t position, std::string_view key) {
    if (slots_.empty())
        return;
    Slot& slot = slots_[slotOf(hashOf(key), key)];
    if (slot.first == kNone) // also an empty slot: the key was never filed
        return;
    if (slot.first == position) {
        slot.first = next_[position];
        if (slot.first == kNone)
            slot.last = kNone;
    } else {
        std::uint32_t p = slot.first;
        while (next_[p] != kNone && next_[p] != position)
            p = next_[p];
        if (next_[p] == kNone)
            return; // not filed under this key
        next_[p] = next_[position];
        if (slot.last == position)
            slot.last = p;
    }
    next_[position] = kNone;
}

// ---- Lookups ----

Lookups::Index& Lookups::indexFor(const std::vector<std::size_t>& fields, std::size_t recordCount,
                                  const KeyOf& keyOf) {
    if (lastFields_ && *lastFields_ == fields)
        return *lastIndex_;
    auto it = indexes_.find(fields);
    if (it == indexes_.end()) {
        Index index;
        index.build(recordCount, fields, keyOf);
        it = indexes_.emplace(fields, std::move(index)).first;
    }
    lastFields_ = &it->first;
    lastIndex_ = &it->second;
    return it->second;
}

std::optional<std::size_t> Lookups::first(const std::vector<std::size_t>& fields, std::string_view key,
                                          std::size_t recordCount, const KeyOf& keyOf) {
    const std::uint32_t found = indexFor(fields, recordCount, keyOf).firstOf(key);
    if (found == Index::kNone)
        return std::nullopt;
    return found;
}

std::vector<std::size_t> Lookups::all(const std::vector<std::size_t>& fields, std::string_view key,
                                      std::size_t recordCount, const KeyOf& keyOf) {
    const Index& index = indexFor(fields, recordCount, keyOf);
    std::vector<std::size_t> found;
    for (std::uint32_t p = index.firstOf(key); p != Index::kNone; p = index.nextOf(p))
        found.push_back(p);
    return found;
}

void Lookups::appended(std::size_t position, const KeyOf& keyOf) {
    // A new record comes last, so adding it keeps every chain in stored order.
    for (auto& [fields, index] : indexes_)
        index.add(static_cast<std::uint32_t>(position), keyOf(fields, position));
}

bool Lookups::touches(const std::vector<std::size_t>& fields, const std::vector<std::size_t>& changed) {
    for (std::size_t f : fields)
        if (std::find(changed.begin(), changed.end(), f) != changed.end())
            return true;
    return false;
}

Lookups::Change Lookups::beforeChange(std::size_t position, const std::vector<std::size_t>& changedFields,
                                      const KeyOf& keyOf) const {
    Change change;
    for (const auto& [fields, index] : indexes_)
        if (touches(fields, changedFields))
            change.before.push_back(keyOf(fields, position));
    return change;
}

void Lookups::afterChange(std::size_t position, const std::vector<std::size_t>& changedFields,
                          const Change& change, const KeyOf& keyOf) {
    const auto pos = static_cast<std::uint32_t>(position);
    std::size_t i = 0;
    for (auto& [fields, index] : indexes_) {
        if (!touches(fields, changedFields))
            continue;
        const std::string& before = change.before[i++];
        std::string after = keyOf(fields, position);
        if (after == before)
            continue;
        index.remove(pos, before);
        index.add(pos, after);
    }
}

} // namespace pontrel::dbf
