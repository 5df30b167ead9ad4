#pragma once
// Hashed lookups over a table's records with the results of a scan from the first record: for each
// set of fields sought, a map from the fields' comparison key to the positions of the records that
// have it, in stored order. Built on first use, kept up to date on every append and update, so that
// the first match and the list of matches come in constant time however large the table.

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <unordered_map>
#include <vector>

namespace pontrel::dbf {

class Lookups {
  public:
    // The comparison key of record `position` for the field set `fields`.
    using KeyOf = std::function<std::string(const std::vector<std::size_t>& fields, std::size_t position)>;

    // The positions with `key`, in stored order; nullptr when none. Builds the field set's map over
    // `recordCount` records the first time it is asked for.
    const std::vector<std::uint32_t>* find(const std::vector<std::size_t>& fields, const std::string& key,
                                           std::size_t recordCount, const KeyOf& keyOf);

    void appended(std::size_t position, const KeyOf& keyOf);

    // Call with the record's keys before (`before`) and after (`after`) a change of `changedFields`.
    struct Change {
        std::vector<std::string> before; // one per map that the change touches
    };
    Change beforeChange(std::size_t position, const std::vector<std::size_t>& changedFields,
                        const KeyOf& keyOf) const;
    void afterChange(std::size_t position, const std::vector<std::size_t>& changedFields,
                     const Change& change, const KeyOf& keyOf);

    void clear() { maps_.clear(); }

  private:
    using Positions = std::unordered_map<std::string, std::vector<std::uint32_t>>;
    static bool touches(const std::vector<std::size_t>& fields, const std::vector<std::size_t>& changed);
    std::map<std::vector<std::size_t>, Positions> maps_;
};

} // namespace pontrel::dbf
