// MATERIAS -> ASIGNOMT (one record per distinct subject) and ASIGNOMT2 (one per subject and offer).
// Yedra lists a subject once for every enrolment offer that teaches it; the repeats fold into one
// short code, and every (subject key, offer key) pair is kept under that code in ASIGNOMT2.

#include "export/StepTable.h"
#include "export/Steps.h"

#include "exchange/text/Ansi.h"
#include "exchange/yedra/YedraGroups.h"

namespace pontrel::exporting {
namespace {

namespace asignomt = velmora::asignomt;
namespace asignomt2 = velmora::asignomt2;
namespace materias = yedra::materias;

// The short code and the long code share ASIGNOMT's widths; an offer's keys ASIGNOMT2's.
const std::size_t codeWidth = asignomt::layout().width(asignomt::kCod);
const std::size_t subjectKeyWidth = asignomt2::layout().width(asignomt2::kMateria);
const std::size_t offerKeyWidth = asignomt2::layout().width(asignomt2::kOfertaMatri);

struct SubjectRecord {
    std::string offerKey;     // position 0
    std::string subjectKey;   // position 1
    std::string name;         // position 2
    std::string longCode;     // position 3, or the name's first 10 characters when it is empty
    bool namedByName = false; // position 3 was empty
    // The key and the text the code is made from as the document gives them (UTF-8), for the report.
    std::string subjectKeyText;
    std::string codeSourceText;
};

SubjectRecord readSubject(const YedraRecord& record) {
    SubjectRecord subject{record.value(materias::kOfferKey),
                          record.value(materias::kSubjectKey),
                          record.value(materias::kName),
                          record.value(materias::kLongCode),
                          false,
                          {},
                          {}};
    subject.namedByName = subject.longCode.empty();
    if (subject.longCode.empty())
        subject.longCode = leftChars(subject.name, codeWidth);
    subject.subjectKeyText = record.text(materias::kSubjectKey);
    subject.codeSourceText = record.text(subject.namedByName ? materias::kName : materias::kLongCode);
    return subject;
}

bool isRegistered(const SubjectRegistries& registries, const SubjectRecord& subject) {
    return registries.upperNames.contains(ansi::upperAsciiOnly(subject.name)) &&
           registries.longCodes.contains(subject.longCode) &&
           registries.pairs.contains({subject.longCode, subject.name});
}

void appendOffer(dbf::Table& offers, std::string_view shortCode, const SubjectRecord& subject) {
    dbf::RecordBuffer row;
    row.setText(asignomt2::kCod, shortCode);
    row.setText(asignomt2::kCodLargo, subject.longCode);
    row.setText(asignomt2::kNombre, subject.name);
    row.setText(asignomt2::kMateria, subject.subjectKey);
    row.setText(asignomt2::kOfertaMatri, subject.offerKey);
    row.setBool(asignomt2::kEsTarea, false);
    offers.append(row);
}

// A subject already registered in another offer: only its (subject key, offer key) pair may be new.
void addOfferOfRegisteredSubject(const SubjectRegistries& registries, dbf::Table& offers,
                                 const SubjectRecord& subject) {
    // Keys longer than the field are compared as stored, cut to its width.
    if (offers.locate({{asignomt2::kMateria, storedText(subject.subjectKey, subjectKeyWidth)},
                       {asignomt2::kOfertaMatri, storedText(subject.offerKey, offerKeyWidth)}}))
        return;
    // The subject's own short code, not that of the first ASIGNOMT record that looks the same: two
    // subjects whose long codes agree in their first 10 characters (or names in their first 80) are
    // stored alike, and looking them up in the table would file one's offers under the other's code.
    appendOffer(offers, registries.pairs.at({subject.longCode, subject.name}), subject);
}

void addNewSubject(ExportContext& context, dbf::Table& names, dbf::Table& offers,
                   const SubjectRecord& subject) {
    SubjectRegistries& registries = context.subjects;
    registries.upperNames.insert(ansi::upperAsciiOnly(subject.name));
    registries.longCodes.insert(subject.longCode);
    const CodeOrigin origin{asignomt::layout().name.c_str(),
                            asignomt::kCod,
                            subject.subjectKey,
                            subject.namedByName ? subject.name : subject.longCode,
                            subject.namedByName && subject.name.size() > codeWidth,
                            subject.subjectKeyText,
                            subject.codeSourceText};
    const std::string shortCode = assignCode(context, registries.shortCodes, subject.longCode, origin);
    registries.pairs.emplace(std::make_pair(subject.longCode, subject.name), shortCode);

    dbf::RecordBuffer row; // CODTAREA stays empty: only activities carry a task code
    row.setText(asignomt::kCod, shortCode);
    row.setText(asignomt::kCodLargo, subject.longCode);
    row.setText(asignomt::kNombre, subject.name);
    row.setBool(asignomt::kEsTarea, false);
    names.append(row);
    appendOffer(offers, shortCode, subject);
}

} // namespace

void subjectStep(ExportContext& context) {
    // A run that stopped earlier may have left values behind; this step starts from empty registries.
    context.subjects = SubjectRegistries{};

    auto tables = recreateStepTables(context.tablesFolder, {asignomt::layout(), asignomt2::layout()});
    dbf::Table& names = tables[0];
    dbf::Table& offers = tables[1];

    // Nothing written is read back. Offers are looked up by their pairs: the lookup is made while the
    // table is still empty, so that it takes every offer's keys as it is appended and the offers
    // themselves need not stay in memory.
    names.appendOnly();
    (void)offers.locate({{asignomt2::kMateria, dbf::Value{std::string()}},
                         {asignomt2::kOfertaMatri, dbf::Value{std::string()}}});
    offers.appendOnly();
    const auto records = context.document.loopRecords(materias::kGroup);
    for (const auto& record : records) {
        const SubjectRecord subject = readSubject(record);
        if (isRegistered(context.subjects, subject))
            addOfferOfRegisteredSubject(context.subjects, offers, subject);
        else
            addNewSubject(context, names, offers, subject);
    }
    closeStepTable(context, names, asignomt::layout());
    closeStepTable(context, offers, asignomt2::layout());

    context.ui.reportProgress({"Materias", records.size(), "ASIGNOMT, ASIGNOMT2"});
}

} // namespace pontrel::exporting
