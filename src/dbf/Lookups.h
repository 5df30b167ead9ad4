#pragma once
// Hashed lookups over a table's records with the results of a scan from the first record: for each
// set of fields sought, an index from the fields' comparison key to the positions of the records that
// have it, in stored order. Built on first use, kept up to date on every append and update, so that
// the first match and the list of matches come in constant time however large the table.
//
// Each index is flat: an open-addressing table of (hash, key, first and last position), the keys kept
// one after another in a single buffer, and the records with equal keys chained through one array of
// "next position" entries indexed by position. No allocation per key or per record.

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pontrel::dbf {

class Lookups {
  public:
    // The comparison key of record `position` for the field set `fields`.
    using KeyOf = std::function<std::string(const std::vector<std::size_t>& fields, std::size_t position)>;

    // The first position with `key`, in stored order; nullopt when none. Builds the field set's index
    // over `recordCount` records the first time it is asked for.
    std::optional<std::size_t> first(const std::vector<std::size_t>& fields, std::string_view key,
                                     std::size_t recordCount, const KeyOf& keyOf);
    // Every position with `key`, in stored order.
    std::vector<std::size_t> all(const std::vector<std::size_t>& fields, std::string_view key,
                                 std::size_t recordCount, const KeyOf& keyOf);

    void appended(std::size_t position, const KeyOf& keyOf);

    // Call with the record's keys before (`before`) and after (`after`) a change of `changedFields`.
    struct Change {
        std::vector<std::string> before; // one per index that the change touches
    };
    Change beforeChange(std::size_t position, const std::vector<std::size_t>& changedFields,
                        const KeyOf& keyOf) const;
    void afterChange(std::size_t position, const std::vector<std::size_t>& changedFields,
                     const Change& change, const KeyOf& keyOf);

    void clear() {
        indexes_.clear();
        lastFields_ = nullptr;
        lastIndex_ = nullptr;
    }

    // One field set's index.
    class Index {
      public:
        static constexpr std::uint32_t kNone = UINT32_MAX;

        void build(std::size_t recordCount, const std::vector<std::size_t>& fields, const KeyOf& keyOf);
        // The first position with `key`, or kNone.
        std::uint32_t firstOf(std::string_view key) const;
        // The position after `position` with the same key, or kNone.
        std::uint32_t nextOf(std::uint32_t position) const { return next_[position]; }
        // Files `position` under `key`, in stored order among the positions with that key.
        void add(std::uint32_t position, std::string_view key);
        // Takes `position` out of the positions with `key`.
        void remove(std::uint32_t position, std::string_view key);

      private:
        // 16 bytes, so that the slots of a table of tens of thousands of records stay in the cache.
        struct Slot {
            std::uint32_t hash = 0;
            std::uint32_t key = kNone;   // offset of the key in `keys_` (its length first); kNone: empty
            std::uint32_t first = kNone; // kNone in a used slot: a key whose records all changed
            std::uint32_t last = kNone;
        };
        static std::uint32_t hashOf(std::string_view key);
        std::size_t slotOf(std::uint32_t hash, std::string_view key) const; // the key's slot or an empty one
        std::string_view keyAt(const Slot& slot) const;
        void grow();

        std::vector<Slot> slots_; // a power of two long, at most half used
        std::size_t used_ = 0;
        std::string keys_;
        std::vector<std::uint32_t> next_;
    };

  private:
    Index& indexFor(const std::vector<std::size_t>& fields, std::size_t recordCount, const KeyOf& keyOf);
    static bool touches(const std::vector<std::size_t>& fields, const std::vector<std::size_t>& changed);
    std::map<std::vector<std::size_t>, Index> indexes_;
    // The index asked for last, so that a loop over one field set skips the search for it.
    const std::vector<std::size_t>* lastFields_ = nullptr;
    Index* lastIndex_ = nullptr;
};

} // namespace pontrel::dbf
