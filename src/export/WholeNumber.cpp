#include "export/WholeNumber.h"

#include "dbf/Error.h"
#include "exchange/text/Ansi.h"

#include <charconv>
#include <limits>

namespace pontrel::exporting {

std::optional<std::int32_t> parseWholeNumber(std::string_view text) {
    std::string_view rest = ansi::trimControls(text);
    bool negative = false;
    if (!rest.empty() && (rest.front() == '+' || rest.front() == '-')) {
        negative = rest.front() == '-';
        rest.remove_prefix(1);
    }
    // from_chars alone would accept a sign of its own and stop at the first non-digit: check the
    // digits first so that "30A", "+-5" and "" are refused.
    if (rest.empty())
        return std::nullopt;
    for (char c : rest)
        if (c < '0' || c > '9')
            return std::nullopt;
    std::uint64_t magnitude = 0;
    auto [end, error] = std::from_chars(rest.data(), rest.data() + rest.size(), magnitude);
    if (error != std::errc{} || end != rest.data() + rest.size())
        return std::nullopt;
    const std::uint64_t limit =
        negative ? std::uint64_t{1} << 31 : std::uint64_t{std::numeric_limits<std::int32_t>::max()};
    if (magnitude > limit)
        return std::nullopt;
    const auto signedValue =
        negative ? -static_cast<std::int64_t>(magnitude) : static_cast<std::int64_t>(magnitude);
    return static_cast<std::int32_t>(signedValue);
}

std::int32_t requireWholeNumber(std::string_view ansiValue, const WholeNumberSource& source) {
    if (auto number = parseWholeNumber(ansiValue))
        return *number;
    throw Error("El valor «" + ansi::toUtf8(ansiValue) + "» no es un número entero (" + source.meaning +
                ", posición " + std::to_string(source.position) + " del registro " +
                std::to_string(source.record) + " del grupo " + source.group + ", documento " +
                source.document + "). Corrija el dato en Yedra y vuelva a exportar.");
}

} // namespace pontrel::exporting
