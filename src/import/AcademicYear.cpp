#include "import/AcademicYear.h"

#include "dbf/Error.h"
#include "platform/Utf8Path.h"

namespace pontrel::importing {

std::string academicYear(const YedraDocument& document) {
    auto source = document.academicYearSource();
    if (!source)
        throw Error("El documento «" + platform::utf8Of(document.path()) +
                    "» no tiene un bloque /SERVICIO/BLOQUE_DATOS con contenido: no se puede saber el "
                    "año académico. No se ha escrito nada.");
    // Four characters of the ANSI text are four bytes.
    if (source->size() > 4)
        source->resize(4);
    return *source;
}

} // namespace pontrel::importing
