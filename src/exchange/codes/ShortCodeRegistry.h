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

// Why a code differs from its candidate; a code that was numbered may also have been cut or
// shortened, and then counts as numbered.
enum class ShortCodeReason {
    None,      // stored as the candidate was given
    Cut,       // cut to the field's width of 10 (the pre-cut, or the field of a table without shortening)
    Shortened, // longer than 10: its first 8 and its last 2 characters
    Numbered,  // the candidate was taken: a number was put after (part of) it
};

struct AssignedCode {
    std::string code;
    ShortCodeReason reason = ShortCodeReason::None;
};

class ShortCodeRegistry {
  public:
    explicit ShortCodeRegistry(ShortCodeSettings settings);

    // Applies the rule to `candidate` (ANSI text), registers the result and returns it.
    std::string assign(std::string_view candidate) { return assignExplained(candidate).code; }
    // The same, saying why the stored code differs from the candidate.
    AssignedCode assignExplained(std::string_view candidate);

    bool contains(std::string_view storedForm) const;

  private:
    ShortCodeSettings settings_;
    std::string key(std::string_view code) const;
    std::set<std::string> sorted_;                           // case-significant registries stay sorted
    std::unordered_set<std::string> hashed_;                 // case-ignoring registries test by hashing
    std::unordered_map<std::string, unsigned long> nextTry_; // per base: no lower number is free
};

} // namespace pontrel
