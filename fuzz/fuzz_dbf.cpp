// Fuzz target: the dBase table reader on .DBF bytes of any level. Opens the input as a table, reads
// every value of every record in every typed form, and tries the lookups with a value taken from
// the table. A refusal (pontrel::Error) is an accepted outcome; a crash or sanitizer report is a fault.

#include "FuzzFile.h"

#include "dbf/Table.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace pontrel::dbf;
    const auto file = pontrel::fuzzing::scratchFolder() / "TABLA.DBF";
    pontrel::fuzzing::writeBytes(file, data, size);
    try {
        auto table = Table::open(file, OpenMode::Shared, Access::ReadOnly);
        const auto& fields = table.fields();
        const std::size_t count = table.recordCount();
        for (std::size_t r = 0; r < count; ++r)
            for (const auto& f : fields) {
                try {
                    (void)table.value(r, f.name);
                    (void)table.text(r, f.name);
                    (void)table.integer(r, f.name);
                    (void)table.number(r, f.name);
                    (void)table.boolean(r, f.name);
                } catch (const pontrel::Error&) {
                    // A value that does not read as the asked type is refused value by value.
                }
            }
        if (count > 0 && !fields.empty()) {
            const Value first = table.value(0, fields.front().name);
            (void)table.locate({{fields.front().name, first}});
            (void)table.select(fields.front().name, first);
        }
        (void)table.indexOrder("ORDEN");
    } catch (const pontrel::Error&) {
    }
    return 0;
}
