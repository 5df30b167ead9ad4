#include "export/PreviewStaging.h"

#include "dbf/Error.h"
#include "platform/Utf8Path.h"

#include <random>
#include <string>

namespace pontrel::exporting {

namespace fs = std::filesystem;

PreviewStaging::PreviewStaging() {
    std::error_code ec;
    const fs::path base = fs::temp_directory_path(ec);
    if (ec)
        throw Error("No se encuentra la carpeta temporal del sistema para preparar la vista previa: " +
                    ec.message());
    // A name nobody else holds: create_directory tells a folder it made from one that was there.
    std::random_device entropy;
    std::mt19937_64 numbers(entropy());
    for (int attempt = 0; attempt < 100; ++attempt) {
        const fs::path candidate = base / ("pontrel-vista-" + std::to_string(numbers()));
        if (fs::create_directory(candidate, ec)) {
            folder_ = candidate;
            return;
        }
        if (ec)
            break;
    }
    throw Error("No se puede crear una carpeta para la vista previa en «" + platform::utf8Of(base) + "»" +
                (ec ? ": " + ec.message() : std::string()) + ".");
}

PreviewStaging::~PreviewStaging() {
    std::error_code ignored;
    fs::remove_all(folder_, ignored);
}

} // namespace pontrel::exporting
