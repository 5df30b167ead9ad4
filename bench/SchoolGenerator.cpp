#include "SchoolGenerator.h"

#include "support/SolucWriter.h"

#include "dbf/Table.h"

#include <array>
#include <cstdio>
#include <fstream>
#include <random>
#include <stdexcept>
#include <vector>

namespace pontrel::bench {

namespace {

// The generator keeps its text in Latin-1, which is also Windows-1252 for every character it uses, so
// the same bytes go into the ISO-8859-1 document and into the ANSI tables.
std::string latin1(std::string_view utf8) {
    std::string out;
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        if (c < 0x80) {
            out.push_back(static_cast<char>(c));
        } else if ((c & 0xE0) == 0xC0 && i + 1 < utf8.size()) {
            out.push_back(
                static_cast<char>(((c & 0x1F) << 6) | (static_cast<unsigned char>(utf8[i + 1]) & 0x3F)));
            ++i;
        } else {
            throw std::logic_error("generator text outside Latin-1");
        }
    }
    return out;
}

std::string numbered(const char* prefix, int width, long number) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%s%0*ld", prefix, width, number);
    return buf;
}

const std::array<const char*, 12> kSubjects = {"Matemáticas",
                                               "Lengua Castellana y Literatura",
                                               "Inglés",
                                               "Física y Química",
                                               "Biología y Geología",
                                               "Geografía e Historia",
                                               "Educación Física",
                                               "Tecnología",
                                               "Música",
                                               "Educación Plástica, Visual y Audiovisual",
                                               "Filosofía",
                                               "Economía & Empresa"};
const std::array<const char*, 12> kSurnames = {"García", "López",     "Martínez", "Sánchez",
                                               "Pérez",  "Gómez",     "Martín",   "Jiménez",
                                               "Ruiz",   "Hernández", "Díaz",     "Muñoz"};
const std::array<const char*, 10> kFirstNames = {"Ana",   "José",  "María", "Ángel",  "Lucía",
                                                 "Íñigo", "Marta", "Raúl",  "Begoña", "Óscar"};
const std::array<const char*, 6> kDepartments = {"Matemáticas", "Lengua",      "Ciencias Naturales",
                                                 "Idiomas",     "Orientación", "Educación Física"};
const std::array<const char*, 3> kLevels = {"E.S.O.", "Bachillerato", "Formación Profesional"};
const std::array<const char*, 7> kMinutes = {"240", "180", "120", "90", "60", "", " 150 "};

// What every part of the generator derives from the shape, so that the document and SOLUC agree.
struct Layout {
    const SchoolShape& s;
    long courseKey(int c) const { return 3001 + c; }
    int courseNumber(int c) const { return 1 + c % 4; }
    std::string courseName(int c) const {
        return latin1(std::to_string(courseNumber(c)) + "º " + kLevels[c % 3]) + " " +
               numbered("C", 4, c + 1);
    }
    char unitLetter(int u) const { return static_cast<char>('A' + u % 26); }
    std::string unitName(int c, int u) const {
        return latin1(std::to_string(courseNumber(c)) + "º ") + numbered("C", 4, c + 1) + " " + unitLetter(u);
    }
    // The class-unit code: the unit name's first 10 characters that are not blanks.
    std::string unitCode(int c, int u) const {
        std::string code;
        for (char ch : unitName(c, u))
            if (ch != ' ' && code.size() < 10)
                code.push_back(ch);
        return code;
    }
    // Courses 2k and 2k+1 are two enrolment offers that share their subjects.
    int subject(int c, int j) const { return (c / 2) * s.subjectsPerCourse + j; }
    std::string subjectCode(int p) const { return numbered("M", 5, p + 1); }
    std::string subjectName(int p) const {
        return latin1(kSubjects[p % kSubjects.size()]) + " " + std::to_string(p / kSubjects.size() + 1);
    }
    std::string activityCode(int a) const { return a == s.activities / 2 ? "513" : numbered("G", 4, a + 1); }
    std::string teacherCode(int t) const { return numbered("P", 5, t + 1); }
    std::string roomCode(int r) const { return numbered("A", 5, r + 1); }
    std::string frameCode(int f) const { return numbered("J", 4, f + 1); }
};

class DocumentWriter {
  public:
    explicit DocumentWriter(const std::filesystem::path& file)
        : out_(file, std::ios::binary | std::ios::trunc) {
        if (!out_)
            throw std::runtime_error("cannot write " + file.string());
        buffer_.reserve(1 << 20);
    }
    void raw(std::string_view text) {
        buffer_.append(text);
        if (buffer_.size() > (1 << 20))
            flush();
    }
    void group(const char* seq) {
        raw("    <grupo_datos seq=\"");
        raw(seq);
        raw("\">\n");
    }
    void endGroup() { raw("    </grupo_datos>\n"); }
    void record(const std::vector<std::pair<const char*, std::string>>& fields) {
        raw("      <grupo_datos>\n");
        for (const auto& [name, value] : fields) {
            raw("        <dato nombre_dato=\"");
            raw(name);
            raw("\">");
            for (char ch : value) {
                if (ch == '&')
                    raw("&amp;");
                else if (ch == '<')
                    raw("&lt;");
                else
                    buffer_.push_back(ch);
            }
            raw("</dato>\n");
        }
        raw("      </grupo_datos>\n");
    }
    std::uintmax_t finish() {
        flush();
        out_.close();
        if (!out_)
            throw std::runtime_error("cannot finish the document");
        return written_;
    }

  private:
    void flush() {
        out_.write(buffer_.data(), static_cast<std::streamsize>(buffer_.size()));
        written_ += buffer_.size();
        buffer_.clear();
    }
    std::ofstream out_;
    std::string buffer_;
    std::uintmax_t written_ = 0;
};

std::uint32_t pick(std::mt19937& rng, std::uint32_t n) {
    return static_cast<std::uint32_t>(rng() % n);
}

void writeLevelTable(const Layout& l, const std::filesystem::path& file) {
    std::filesystem::remove(file);
    dbf::Table::create(file,
                       {{"X_OFERTAMATRIG", 'I', 0, 0}, {"NIVEL_ABREV", 'C', 5, 0}, {"NIVEL", 'C', 60, 0}});
    auto table = dbf::Table::open(file, dbf::OpenMode::Exclusive, dbf::Access::ReadWrite);
    const std::array<const char*, 3> abbreviations = {"ESO", "BACH", "FP"};
    const std::array<const char*, 3> names = {"Educación Secundaria Obligatoria", "Bachillerato",
                                              "Formación Profesional"};
    for (int c = 0; c < l.s.courses; ++c) {
        if (c % 7 == 6)
            continue; // some course keys the level table does not know: level "Niv"
        dbf::RecordBuffer r;
        r.setInteger("X_OFERTAMATRIG", l.courseKey(c));
        r.setText("NIVEL_ABREV", abbreviations[c % 3]);
        r.setText("NIVEL", latin1(names[c % 3]));
        table.append(r);
    }
    table.close();
}

std::size_t writeSoluc(const Layout& l, std::uint32_t seed, const std::filesystem::path& file) {
    auto soluc = testing::solucWriter();
    std::mt19937 rng(seed ^ 0x50u);
    const auto& s = l.s;
    // Lessons are written round the teachers, as a placer fills the week, so that each teacher's
    // entries are spread over the whole table.
    for (int lesson = 0; lesson < s.lessonsPerTeacher + 2; ++lesson) {
        for (int t = 0; t < s.teachers; ++t) {
            const int c = t % s.courses;
            const bool unplaced = lesson >= s.lessonsPerTeacher;
            const std::string day = unplaced ? "0" : std::to_string(1 + lesson % 5);
            const std::string hour = unplaced ? "0" : std::to_string(1 + (lesson / 5) % s.slotsPerFrame);
            const std::string room =
                l.roomCode(static_cast<int>(pick(rng, static_cast<std::uint32_t>(s.rooms))));
            if (lesson % 8 == 7) {
                // A non-teaching activity: no class unit, the task code given or left to the lookup.
                const std::string code =
                    l.activityCode(static_cast<int>(pick(rng, static_cast<std::uint32_t>(s.activities))));
                soluc.addRecord(
                    {l.teacherCode(t), day, hour, "0", code, "", lesson % 16 == 7 ? code : "", room});
                continue;
            }
            const int j = static_cast<int>(pick(rng, static_cast<std::uint32_t>(s.subjectsPerCourse)));
            const int u = static_cast<int>(pick(rng, static_cast<std::uint32_t>(s.unitsPerCourse)));
            soluc.addRecord({l.teacherCode(t), day, hour, "0", l.subjectCode(l.subject(c, j)),
                             l.unitCode(c, u), "", room});
        }
    }
    soluc.write(file);
    return soluc.recordCount();
}

} // namespace

SchoolShape shapeForScale(int scale) {
    if (scale < 1)
        throw std::invalid_argument("scale must be at least 1");
    SchoolShape s;
    s.teachers = 60 * scale;
    s.rooms = 40 * scale;
    s.courses = 12 * scale;
    s.activities = 30 * scale;
    s.frames = 2 * scale;
    return s;
}

std::uintmax_t writeYedraDocument(const SchoolShape& s, std::uint32_t seed,
                                  const std::filesystem::path& file) {
    const Layout l{s};
    std::mt19937 rng(seed);
    DocumentWriter w(file);
    w.raw("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n");
    w.raw(latin1("<!-- Centro sintético para pruebas de rendimiento -->\n"));
    w.raw("<SERVICIO>\n  <BLOQUE_DATOS>\n    <C_ANNO>2026</C_ANNO>\n");

    w.group("MATERIAS");
    for (int c = 0; c < s.courses; ++c)
        for (int j = 0; j < s.subjectsPerCourse; ++j) {
            const int p = l.subject(c, j);
            w.record(
                {{"X_OFERTAMATRIG", std::to_string(l.courseKey(c))},
                 {"X_MATERIAOMG", std::to_string(700001L + static_cast<long>(c) * s.subjectsPerCourse + j)},
                 {"D_MATERIAC", l.subjectName(p)},
                 {"C_MATERIA", l.subjectCode(p)},
                 {"N_MINUTOS", kMinutes[pick(rng, kMinutes.size())]}});
        }
    w.endGroup();

    w.group("ACTIVIDADES");
    for (int a = 0; a < s.activities; ++a)
        w.record({{"X_ACTIVIDAD", std::to_string(9000 + a)},
                  {"C_ACTIVIDAD", l.activityCode(a)},
                  {"D_ACTIVIDAD", latin1("Guardia y coordinación ") + std::to_string(a + 1)}});
    w.endGroup();

    w.group("EMPLEADOS");
    for (int t = 0; t < s.teachers; ++t) {
        char date[16];
        std::snprintf(date, sizeof date, "01/09/20%02d", 5 + t % 20);
        w.record({{"X_EMPLEADO", std::to_string(200001 + t)},
                  {"F_TOMAPOS", date},
                  {"D_DEPARTAMENTO", latin1(kDepartments[t % kDepartments.size()])},
                  {"APELLIDO1", latin1(kSurnames[pick(rng, kSurnames.size())])},
                  {"APELLIDO2", latin1(kSurnames[pick(rng, kSurnames.size())])},
                  {"NOMBRE", latin1(kFirstNames[pick(rng, kFirstNames.size())])},
                  {"C_PROFESOR", l.teacherCode(t)}});
    }
    w.endGroup();

    w.group("DEPENDENCIAS");
    for (int r = 0; r < s.rooms; ++r)
        w.record({{"X_DEPENDENCIA", l.roomCode(r)},
                  {"D_DEPENDENCIA", r % 5 == 4 ? latin1("Laboratorio de Física ") + std::to_string(r + 1)
                                               : "Aula " + std::to_string(r + 1)}});
    w.endGroup();

    w.group("CURSOS_DEL_CENTRO");
    for (int c = 0; c < s.courses; ++c)
        w.record({{"X_OFERTAMATRIG", std::to_string(l.courseKey(c))}, {"D_OFERTAMATRIG", l.courseName(c)}});
    w.endGroup();

    w.group("UNIDADES");
    for (int c = 0; c < s.courses; ++c)
        for (int u = 0; u < s.unitsPerCourse; ++u)
            w.record({{"X_UNIDAD", std::to_string(50001 + c * s.unitsPerCourse + u)},
                      {"T_NOMBRE", l.unitName(c, u)},
                      {"X_OFERTAMATRIG", std::to_string(l.courseKey(c))}});
    w.endGroup();

    w.group("JORNADAS_ESCOLARES");
    for (int f = 0; f < s.frames; ++f)
        w.record({{"X_JORNADA", l.frameCode(f)},
                  {"D_JORNADA", "Jornada ordinaria " + std::to_string(f + 1)},
                  {"F_INICIO", "15/09/2026"},
                  {"F_FIN", "22/06/2027"}});
    w.endGroup();

    w.group("TRAMOS_HORARIOS");
    for (int f = 0; f < s.frames; ++f)
        for (int k = 0; k < s.slotsPerFrame; ++k) {
            // The recess after the third slot shifts the later ones by half an hour.
            const int start = 480 + 60 * k + (k >= 3 ? 30 : 0) + 5 * (f % 3);
            w.record({{"X_TRAMO", numbered("T", 6, static_cast<long>(f) * s.slotsPerFrame + k + 1)},
                      {"T_HORCEN", latin1(std::to_string(k + 1) + "ª hora")},
                      {"N_INICIO", std::to_string(start)},
                      {"N_FIN", std::to_string(start + 55)},
                      {"X_JORNADA", l.frameCode(f)}});
        }
    w.endGroup();

    w.raw("  </BLOQUE_DATOS>\n</SERVICIO>\n");
    return w.finish();
}

GeneratedSchool describeSchool(const SchoolShape& shape, const std::filesystem::path& folder) {
    const Layout l{shape};
    GeneratedSchool school;
    school.document = folder / "colegio.xml";
    school.levelTable = folder / "NIVELCAN.DBF";
    school.soluc = folder / "SOLUC.DBF";
    school.firstFrameCode = l.frameCode(0);
    school.frameCount = shape.frames;
    return school;
}

GeneratedSchool generateSchool(const SchoolShape& shape, std::uint32_t seed,
                               const std::filesystem::path& folder) {
    const Layout l{shape};
    GeneratedSchool school = describeSchool(shape, folder);
    school.documentBytes = writeYedraDocument(shape, seed, school.document);
    writeLevelTable(l, school.levelTable);
    school.solucRecords = writeSoluc(l, seed, school.soluc);
    return school;
}

} // namespace pontrel::bench
