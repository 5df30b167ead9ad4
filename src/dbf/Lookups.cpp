#include "dbf/Lookups.h"

#include <algorithm>

namespace pontrel::dbf {

const std::vector<std::uint32_t>* Lookups::find(const std::vector<std::size_t>& fields,
                                                const std::string& key, std::size_t recordCount,
                                                const KeyOf& keyOf) {
    auto it = maps_.find(fields);
    if (it == maps_.end()) {
        Positions positions;
        positions.reserve(recordCount);
        for (std::size_t i = 0; i < recordCount; ++i)
            positions[keyOf(fields, i)].push_back(static_cast<std::uint32_t>(i));
        it = maps_.emplace(fields, std::move(positions)).first;
    }
    auto found = it->second.find(key);
    return found == it->second.end() ? nullptr : &found->second;
}

void Lookups::appended(std::size_t position, const KeyOf& keyOf) {
    // A new record comes last, so pushing it keeps every list in stored order.
    for (auto& [fields, positions] : maps_)
        positions[keyOf(fields, position)].push_back(static_cast<std::uint32_t>(position));
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
    for (const auto& [fields, positions] : maps_)
        if (touches(fields, changedFields))
            change.before.push_back(keyOf(fields, position));
    return change;
}

void Lookups::afterChange(std::size_t position, const std::vector<std::size_t>& changedFields,
                          const Change& change, const KeyOf& keyOf) {
    const auto pos = static_cast<std::uint32_t>(position);
    std::size_t i = 0;
    for (auto& [fields, positions] : maps_) {
        if (!touches(fields, changedFields))
            continue;
        const std::string& before = change.before[i++];
        std::string after = keyOf(fields, position);
        if (after == before)
            continue;
        if (auto old = positions.find(before); old != positions.end()) {
            auto& list = old->second;
            auto at = std::lower_bound(list.begin(), list.end(), pos);
            if (at != list.end() && *at == pos)
                list.erase(at);
            if (list.empty())
                positions.erase(old);
        }
        auto& list = positions[after];
        list.insert(std::lower_bound(list.begin(), list.end(), pos), pos);
    }
}

} // namespace pontrel::dbf
