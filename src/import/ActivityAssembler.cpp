#include "import/ActivityAssembler.h"

#include "dbf/Error.h"
#include "exchange/text/Ansi.h"
#include "import/DocumentText.h"

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
    throw Error(where + ": la hora «" + ansi::toUtf8(timeText) +
                "» no tiene la forma HH:MM. No se ha escrito nada.");
}

std::string ActivityAssembler::written(const dbf::Table& table, std::size_t record, const FieldRef& field) {
    return documentText(table, record, field);
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

ActivityAssembler::SubjectAndUnit& ActivityAssembler::subjectAndUnit(const std::string& subject,
                                                                     const std::string& unit) const {
    for (SubjectAndUnit& pair : recentPairs_)
        if (pair.filled && pair.subject == subject && pair.unit == unit)
            return pair;

    SubjectAndUnit found;
    found.subject = subject;
    found.unit = unit;
    // The assignment gives both keys at once.
    if (auto a = find(tables_.assignments, {assignmentSubject_(), assignmentUnit_()}, {subject, unit})) {
        found.subjectKey = written(tables_.assignments, *a, assignmentKey_);
        found.offerKey = written(tables_.assignments, *a, assignmentOffer_);
    }
    // The class unit fills the offer key only when the assignment left it blank.
    if (auto u = find(tables_.units, {unitAbbreviation_()}, {unit})) {
        found.unitKey = written(tables_.units, *u, unitKey_);
        if (ansi::isBlank(found.offerKey))
            found.offerKey = written(tables_.units, *u, unitOffer_);
    } else {
        found.unitMissing = true;
    }
    // The subject fallback searches with the offer key as the class unit completed it.
    if (ansi::isBlank(found.subjectKey))
        if (auto s = find(tables_.subjectsByOffer, {offerSubjectCode_(), offerSubjectOffer_()},
                          {subject, found.offerKey}))
            found.subjectKey = written(tables_.subjectsByOffer, *s, offerSubjectKey_);
    found.filled = true;

    SubjectAndUnit& slot = recentPairs_[nextPair_];
    nextPair_ = (nextPair_ + 1) % recentPairs_.size();
    slot = std::move(found);
    return slot;
}

const std::optional<std::string>& ActivityAssembler::subjectTask(SubjectAndUnit& pair) const {
    if (!pair.taskSought) {
        if (auto s = find(tables_.subjects, {subjectCode_()}, {pair.subject}))
            pair.subjectTask = written(tables_.subjects, *s, subjectTask_);
        pair.taskSought = true;
    }
    return pair.subjectTask;
}

const ActivityAssembler::SlotPart& ActivityAssembler::slotPart(std::size_t record) const {
    if (slotParts_.size() <= record)
        slotParts_.resize(record + 1);
    if (!slotParts_[record]) {
        const dbf::Table& slots = tables_.slots;
        // The slot's record is named only in the message about a time that is not one.
        auto minutes = [&](const std::string& time) {
            if (auto m = minutesOf(time))
                return std::move(*m);
            return minuteCount(time, "La tabla DIASHORAST, registro " + std::to_string(record + 1));
        };
        SlotPart part;
        part.day = written(slots, record, slotDay_);
        part.code = written(slots, record, slotCode_);
        part.startMinute = minutes(slots.text(record, slotStart_()));
        part.endMinute = minutes(slots.text(record, slotEnd_()));
        slotParts_[record] = std::move(part);
    }
    return *slotParts_[record];
}

std::uint32_t ActivityAssembler::slotRecord(const std::string& slotKey, const std::string& frame) const {
    // The key's length keeps ("21", "00") apart from ("210", "0").
    slotSought_ = std::to_string(slotKey.size());
    slotSought_ += ':';
    slotSought_ += slotKey;
    slotSought_ += frame;
    const std::size_t number = slotsSought_.numberOf(slotSought_);
    if (number != KeySet::npos)
        return slotFound_[number];
    const auto found = find(tables_.slots, {slotKey_(), slotFrame_()}, {slotKey, frame});
    slotFound_.push_back(found ? static_cast<std::uint32_t>(*found) : kNoSlot);
    slotsSought_.add(slotSought_);
    return slotFound_.back();
}

ActivityValues ActivityAssembler::assemble(const SolucEntry& entry, AssemblyGaps* gaps) const {
    ActivityValues v;
    SubjectAndUnit& pair = subjectAndUnit(entry.subject, entry.unit);

    std::string task = entry.task;
    if (ansi::isBlank(task))
        if (const auto& subjectTask = this->subjectTask(pair))
            task = *subjectTask;

    // The slot key is built as the frames step builds DIHO: day then hour, decimal, no separator.
    const std::string slotKey = std::to_string(entry.day) + std::to_string(entry.hour);
    if (const std::uint32_t s = slotRecord(slotKey, entry.frame); s != kNoSlot) {
        const SlotPart& slot = slotPart(s);
        v.N_DIASEMANA = slot.day;
        v.X_TRAMO = slot.code;
        v.N_HORINI = slot.startMinute;
        v.N_HORFIN = slot.endMinute;
    } else {
        if (gaps)
            gaps->slotMissing = true;
        v.N_HORINI = "0"; // the minutes of an empty time
        v.N_HORFIN = "0";
    }

    if (!ansi::isBlank(entry.room))
        v.X_DEPENDENCIA = entry.room;
    v.X_UNIDAD = pair.unitKey;
    v.X_OFERTAMATRIG = pair.offerKey;
    v.X_MATERIAOMG = pair.subjectKey;
    if (gaps && pair.unitMissing)
        gaps->unitMissing = true;
    if (gaps && ansi::isBlank(pair.subjectKey))
        gaps->subjectMissing = true;
    v.F_INICIO = courseStart_;
    v.F_FIN = courseEnd_;
    v.X_ACTIVIDAD = ansi::isBlank(task) && task513_ ? std::string("513") : task;
    return v;
}

} // namespace pontrel::importing
