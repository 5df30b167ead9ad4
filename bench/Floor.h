#pragma once
// The "floor" of a run: what any converter has to spend on the same input and output. It reads the
// document with libxml2, reads every input table file whole, and writes as many bytes as the run
// wrote. Two floors differ in how the document is read: into a whole tree (and freed), or as a stream
// (`xmllint --stream --noout`: the streaming reader over the whole document, no tree), which is how
// the runs read it. A run is judged by its time over each floor, measured in the same process right
// after the run, so that disk cache and CPU frequency are alike for all.

#include <cstdint>
#include <filesystem>
#include <vector>

namespace pontrel::bench {

enum class DocumentRead { Tree, Stream };

// Seconds taken; `scratch` is a file name for the written bytes, removed afterwards.
double measureFloor(DocumentRead read, const std::filesystem::path& document,
                    const std::vector<std::filesystem::path>& inputTables, std::uintmax_t bytesToWrite,
                    const std::filesystem::path& scratch);

} // namespace pontrel::bench
