#include "import/ActivityAssembler.h"

#include "dbf/Error.h"
#include "exchange/Ansi.h"

#include <charconv>

namespace pontrel::importing {

namespace {

// A two-character part of a time text read as an integer, with leading blanks allowed as the
// platform's text-to-number conversion allows them.
bool integerValue(std::string_view part, int& value) {
    while (!part.empty() && part.front() == ' ')
        part.remove_prefix(1);
    if (!part.empty() && part.front() == '+')
        part.remove_prefix(1);
    if (part.empty())
        return false;
    const auto [end, error] = std::from_chars(part.data(), part.data() + part.size(), value);
    return error == std::errc() && end == part.data() + part.size();
}

// The minutes of a time text as minuteCount gives them, or nullopt when it is not a time.
std::optional<std::string> minutesOf(std::string_view timeText) {
    const std::string time = (timeText.size() < 5 ? "0" : "") + std::string(timeText);
    // First and last two characters; a one-character text gives the same character both times.
    const std::string_view hoursPart = std::string_view(time).substr(0, 2);
    const std::string_view minutesPart =
        std::string_view(time).substr(time.size() >= 2 ? time.size() - 2 : 0);
    int hours = 0;
    int minutes = 0;
    if (!integerValue(hoursPart, hours) || !integerValue(minutesPart, minutes))
        return std::nullopt;
    return std::to_string(hours * 60 + minutes);
}

} // namespace

std::string minuteCount(std::string_view timeText, const std::string& where) {
    if (auto minutes = minutesOf(timeText))
        return std::move(*minutes);
    throw Error(where + ": la hora \xC2\xAB" + ansi::toUtf8(timeText) +
                "\xC2\xBB no tiene la forma HH:MM. No se ha escrito nada.");
}

std::optional<std::size_t> ActivityAssembler::find(const dbf::Table& table,
                                                   std::initializer_list<std::size_t> fields,
                                                   std::initializer_list<std::string_view> values) const {
    soughtFields_.assign(fields);
    soughtValues_.resize(values.size());
    auto value = soughtValues_.begin();
    for (std::string_view v : values) {
        if (auto* held = std::get_if<std::string>(&*value))
            held->assign(v); // keeps the buffer of the lookup before
        else
            *value = std::string(v);
        ++value;
    }
    return table.locate(soughtFields_, soughtValues_);
}

ActivityValues ActivityAssembler::assemble(const SolucEntry& entry, AssemblyGaps* gaps) const {
    ActivityValues v;
    std::string subjectKey;
    std::string offerKey;
    std::string task = entry.task;

    // The assignment gives both keys at once.
    if (auto a = find(tables_.assignments, {assignmentSubject_(), assignmentUnit_()}, {entry.subject, entry.unit})) {
        subjectKey = tables_.assignments.text(*a, assignmentKey_());
        offerKey = tables_.assignments.text(*a, assignmentOffer_());
    }

    if (ansi::isBlank(task))
        if (auto s = find(tables_.subjects, {subjectCode_()}, {entry.subject}))
            task = tables_.subjects.text(*s, subjectTask_());

    // The slot key is built as the frames step builds DIHO: day then hour, decimal, no separator.
    std::string start;
    std::string end;
    const std::string slotKey = std::to_string(entry.day) + std::to_string(entry.hour);
    std::optional<std::size_t> slotRecord;
    if (auto s = find(tables_.slots, {slotKey_(), slotFrame_()}, {slotKey, entry.frame})) {
        v.N_DIASEMANA = tables_.slots.text(*s, slotDay_());
        v.X_TRAMO = tables_.slots.text(*s, slotCode_());
        start = tables_.slots.text(*s, slotStart_());
        end = tables_.slots.text(*s, slotEnd_());
        slotRecord = *s;
    } else if (gaps) {
        gaps->slotMissing = true;
    }

    if (!ansi::isBlank(entry.room))
        v.X_DEPENDENCIA = entry.room;

    // The class unit fills the offer key only when the assignment left it blank.
    if (auto u = find(tables_.units, {unitAbbreviation_()}, {entry.unit})) {
        v.X_UNIDAD = tables_.units.text(*u, unitKey_());
        if (ansi::isBlank(offerKey))
            offerKey = tables_.units.text(*u, unitOffer_());
    } else if (gaps) {
        gaps->unitMissing = true;
    }

    // The subject fallback searches with the offer key as the class unit completed it.
    if (ansi::isBlank(subjectKey))
        if (auto s = find(tables_.subjectsByOffer, {offerSubjectCode_(), offerSubjectOffer_()},
                          {entry.subject, offerKey}))
            subjectKey = tables_.subjectsByOffer.text(*s, offerSubjectKey_());
    if (gaps && ansi::isBlank(subjectKey))
        gaps->subjectMissing = true;

    v.X_OFERTAMATRIG = offerKey;
    v.X_MATERIAOMG = subjectKey;
    v.F_INICIO = courseStart_;
    v.F_FIN = courseEnd_;
    // The slot's record is named only in the message about a time that is not one.
    auto minutes = [&](const std::string& time) {
        if (auto m = minutesOf(time))
            return std::move(*m);
        return minuteCount(time, slotRecord ? "La tabla DIASHORAST, registro " + std::to_string(*slotRecord + 1)
                                            : std::string());
    };
    v.N_HORINI = minutes(start);
    v.N_HORFIN = minutes(end);
    v.X_ACTIVIDAD = ansi::isBlank(task) && task513_ ? std::string("513") : task;
    return v;
}

} // namespace pontrel::importing
