#pragma once
// A set of keys (short texts) that is asked whether it holds a key many times per run: once per key
// of every timetable entry sent. Open addressing over one array of (hash, place, number) slots, the
// keys side by side in one buffer: a question costs a slot and, when the hash matches, the key's
// bytes, however many keys the set holds, and the set costs no allocation per key. A node-based set
// of tens of thousands of keys spreads them over the heap and answers each question with several
// cache misses.
//
// Keys are numbered from 0 in the order they were added, so that what belongs to a key can be kept
// beside the set in a vector.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace pontrel::importing {

class KeySet {
  public:
    static constexpr std::size_t npos = SIZE_MAX;

    // Adds `key`; false when the set held it already.
    bool insert(std::string_view key) {
        const std::size_t before = used_;
        return add(key) == before;
    }
    // The number of `key`, added now if the set did not hold it (its number is then size() - 1).
    std::size_t add(std::string_view key);
    bool contains(std::string_view key) const { return numberOf(key) != npos; }
    // The number of `key`; npos when the set does not hold it.
    std::size_t numberOf(std::string_view key) const;
    std::size_t size() const { return used_; }

  private:
    static constexpr std::uint32_t kEmpty = UINT32_MAX;
    struct Slot {
        std::uint32_t hash = 0;
        std::uint32_t place = kEmpty; // where the key's length and bytes start in keys_
        std::uint32_t number = 0;
    };
    static std::uint32_t hashOf(std::string_view key);
    std::string_view keyAt(std::uint32_t place) const;
    // The slot that holds `key`, or the empty slot where it would go.
    std::size_t slotOf(std::uint32_t hash, std::string_view key) const;
    void grow();

    std::vector<Slot> slots_; // a power of two long, at most half used
    std::size_t used_ = 0;
    std::string keys_;
};

} // namespace pontrel::importing
