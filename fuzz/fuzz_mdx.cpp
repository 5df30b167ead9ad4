// Fuzz target: the production index reader. A well-formed DIASHORAST2-like table is written once;
// each input becomes its .MDX, and the records are read in the order of the tag ORDEN (and of a tag
// that does not exist). A refusal (pontrel::Error) is an accepted outcome; a crash, a hang or a
// sanitizer report is a fault.

#include "FuzzFile.h"

#include "dbf/Table.h"

#include <iterator>
#include <string>

namespace {

std::string pristineTable;

std::string readAll(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    using namespace pontrel::dbf;
    const auto folder = pontrel::fuzzing::scratchFolder() / "original";
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    const auto dbfFile = folder / "DIASHORAST2.DBF";
    Table::create(dbfFile, {{"CODDIHO", 'C', 10, 0}, {"DIA", 'C', 20, 0}, {"ORDEN", 'I', 0, 0}},
                  IndexSpec{"ORDEN", "ORDEN"});
    {
        auto table = Table::open(dbfFile, OpenMode::Exclusive, Access::ReadWrite);
        const int starts[] = {590, 480, 535, 480, 765, 0, -5, 535};
        for (int i = 0; i < 8; ++i) {
            RecordBuffer r;
            r.setText("CODDIHO", "T" + std::to_string(i));
            r.setText("DIA", std::to_string(1 + i % 2));
            r.setInteger("ORDEN", starts[i]);
            table.append(r);
        }
        table.close();
    }
    pristineTable = readAll(dbfFile);
    // PONTREL_FUZZ_SEED_OUT=folder keeps the index as written, to seed the corpus.
    if (const char* out = std::getenv("PONTREL_FUZZ_SEED_OUT"))
        std::filesystem::copy_file(folder / "DIASHORAST2.MDX",
                                   std::filesystem::path(out) / "orden-8-registros.mdx",
                                   std::filesystem::copy_options::overwrite_existing);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace pontrel::dbf;
    const auto folder = pontrel::fuzzing::scratchFolder();
    const auto dbfFile = folder / "DIASHORAST2.DBF";
    pontrel::fuzzing::writeBytes(dbfFile, reinterpret_cast<const std::uint8_t*>(pristineTable.data()),
                                 pristineTable.size());
    pontrel::fuzzing::writeBytes(folder / "DIASHORAST2.MDX", data, size);
    try {
        auto table = Table::open(dbfFile, OpenMode::Shared, Access::ReadOnly);
        for (std::size_t r : table.indexOrder("ORDEN"))
            if (r >= table.recordCount())
                __builtin_trap(); // the index must never name a record the table does not have
        try {
            (void)table.indexOrder("NOEXISTE");
        } catch (const pontrel::Error&) {
        }
    } catch (const pontrel::Error&) {
    }
    return 0;
}
