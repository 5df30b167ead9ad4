#include "import/KeySet.h"

#include <cstring>
#include <functional>
#include <stdexcept>

namespace pontrel::importing {

std::uint32_t KeySet::hashOf(std::string_view key) {
    // The library's hash reads the key eight bytes at a time; it is mixed well enough that its low
    // bits, which pick the slot, depend on every byte.
    const std::uint64_t h = std::hash<std::string_view>{}(key);
    return static_cast<std::uint32_t>(h ^ (h >> 32));
}

std::string_view KeySet::keyAt(std::uint32_t place) const {
    std::uint32_t length = 0;
    std::memcpy(&length, keys_.data() + place, sizeof length);
    return {keys_.data() + place + sizeof length, length};
}

std::size_t KeySet::slotOf(std::uint32_t hash, std::string_view key) const {
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
        const Slot& slot = slots_[i];
        if (slot.place == kEmpty || (slot.hash == hash && keyAt(slot.place) == key))
            return i;
    }
}

void KeySet::grow() {
    std::vector<Slot> old = std::move(slots_);
    slots_.assign(old.empty() ? 16 : old.size() * 2, Slot{});
    const std::size_t mask = slots_.size() - 1;
    for (const Slot& slot : old) {
        if (slot.place == kEmpty)
            continue;
        std::size_t i = slot.hash & mask;
        while (slots_[i].place != kEmpty)
            i = (i + 1) & mask;
        slots_[i] = slot;
    }
}

std::size_t KeySet::add(std::string_view key) {
    if ((used_ + 1) * 2 > slots_.size())
        grow();
    const std::uint32_t hash = hashOf(key);
    Slot& slot = slots_[slotOf(hash, key)];
    if (slot.place != kEmpty)
        return slot.number;
    const auto length = static_cast<std::uint32_t>(key.size());
    if (keys_.size() + sizeof length + key.size() >= kEmpty)
        throw std::length_error("keys beyond 4 GB");
    slot.hash = hash;
    slot.place = static_cast<std::uint32_t>(keys_.size());
    slot.number = static_cast<std::uint32_t>(used_);
    keys_.append(reinterpret_cast<const char*>(&length), sizeof length);
    keys_.append(key);
    return used_++;
}

std::size_t KeySet::numberOf(std::string_view key) const {
    if (slots_.empty())
        return npos;
    const Slot& slot = slots_[slotOf(hashOf(key), key)];
    return slot.place == kEmpty ? npos : slot.number;
}

} // namespace pontrel::importing
