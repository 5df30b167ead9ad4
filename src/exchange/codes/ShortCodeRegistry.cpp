#include "exchange/codes/ShortCodeRegistry.h"

#include "exchange/text/Ansi.h"

#include <algorithm>
#include <string>

namespace pontrel {

namespace {

constexpr std::size_t kCodeWidth = 10; // the width of every short-code field (COD, ABREV)
constexpr std::size_t kBaseLength = 9; // a numbered try keeps this much of the candidate

std::string_view withoutTrailingBlanks(std::string_view code) {
    std::size_t end = code.size();
    while (end > 0 && code[end - 1] == ' ')
        --end;
    return code.substr(0, end);
}

// The form in which an un-numbered candidate ends up in its table: a table with shortening keeps the
// first 8 and the last 2 characters of a long code, any other table cuts it to the field's width.
std::string storedCandidate(std::string_view candidate, bool shortening) {
    if (candidate.size() <= kCodeWidth)
        return std::string(candidate);
    if (shortening)
        return std::string(candidate.substr(0, 8)).append(candidate.substr(candidate.size() - 2));
    return std::string(candidate.substr(0, kCodeWidth));
}

// The stored form of the numbered try `base` + n. When the try is too long, as much of the base is kept
// as leaves room for the whole number: for two-digit numbers that is exactly the first 8 characters of
// the try plus its last 2, and a table that would only cut the try (PROFT) gets the same form, because
// cutting would drop the number's last digit and give a code that may already be taken.
std::string storedTry(std::string_view base, unsigned long n) {
    const std::string number = std::to_string(n);
    if (base.size() + number.size() <= kCodeWidth)
        return std::string(base).append(number);
    const std::size_t keep = number.size() >= kCodeWidth ? 0 : kCodeWidth - number.size();
    return std::string(base.substr(0, std::min(keep, base.size()))).append(number);
}

} // namespace

ShortCodeRegistry::ShortCodeRegistry(ShortCodeSettings settings) : settings_(settings) {}

// dBase pads text fields with blanks, so "A12" and "A12 " are the same stored code.
std::string ShortCodeRegistry::key(std::string_view code) const {
    const std::string_view trimmed = withoutTrailingBlanks(code);
    return settings_.ignoreCase ? ansi::upperAnsi(trimmed) : std::string(trimmed);
}

bool ShortCodeRegistry::contains(std::string_view storedForm) const {
    const std::string k = key(storedForm);
    return settings_.ignoreCase ? hashed_.count(k) != 0 : sorted_.count(k) != 0;
}

AssignedCode ShortCodeRegistry::assignExplained(std::string_view candidate) {
    ShortCodeReason reason = ShortCodeReason::None;
    if (settings_.preCut && candidate.size() > kCodeWidth) {
        candidate = candidate.substr(0, kCodeWidth);
        reason = ShortCodeReason::Cut;
    }
    if (candidate.size() > kCodeWidth)
        reason = settings_.shortening ? ShortCodeReason::Shortened : ShortCodeReason::Cut;

    std::string code = storedCandidate(candidate, settings_.shortening);
    if (contains(code)) {
        reason = ShortCodeReason::Numbered;
        // A taken code is numbered from 1 on; every try is tested in the form in which it would be
        // stored, so the search always ends on a code that no other record of the table has.
        // The registry only grows, so the first free number of a base never goes down: the search
        // goes on from where the last one for the same base ended, which keeps a thousand teachers
        // with the same initials linear instead of quadratic. Trailing blanks stay in the memo's key:
        // "AB " and "AB" give different tries.
        const std::string_view base = candidate.substr(0, std::min(candidate.size(), kBaseLength));
        unsigned long& n = nextTry_[settings_.ignoreCase ? ansi::upperAnsi(base) : std::string(base)];
        if (n == 0)
            n = 1;
        for (;; ++n) {
            code = storedTry(base, n);
            if (!contains(code))
                break;
        }
    }
    if (settings_.ignoreCase)
        hashed_.insert(key(code));
    else
        sorted_.insert(key(code));
    return {std::move(code), reason};
}

} // namespace pontrel
