#pragma once
// The short-code rule: a candidate code becomes a code of at most 10 characters that is unique within
// its table. The registry holds codes in the form in which they are stored, so that a stored code is
// never given twice (a PROFT code is cut to 10 when stored; a shortened code is first 8 + last 2).

#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

namespace pontrel {

struct ShortCodeSettings {
    bool preCut = false;     // the candidate becomes its first 10 characters first
    bool shortening = false; // a code longer than 10 becomes its first 8 + last 2 characters
    bool ignoreCase = false; // registry comparison: letter case ignored, accented letters included
};

class ShortCodeRegistry {
  public:
    explicit ShortCodeRegistry(ShortCodeSettings settings);

    // Applies the rule to `candidate` (ANSI text), registers the result and returns it.
    std::string assign(std::string_view candidate);

    bool contains(std::string_view storedForm) const;

  private:
    ShortCodeSettings settings_;
    std::string key(std::string_view code) const;
    std::set<std::string> sorted_;           // case-significant registries stay sorted
    std::unordered_set<std::string> hashed_; // case-ignoring registries test by hashing
    std::unordered_map<std::string, unsigned long> nextTry_; // per base: no lower number is free
};

} // namespace pontrel
