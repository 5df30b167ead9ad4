#pragma once
// The "floor" of a run: what any converter has to spend on the same input and output. It parses the
// document with libxml2 into a tree (as the runs do), reads every input table file whole, and writes
// as many bytes as the run wrote. A run is judged by its time over this floor, measured in the same
// process right after the run, so that disk cache and CPU frequency are alike for both.

#include <cstdint>
#include <filesystem>
#include <vector>

namespace pontrel::bench {

// Seconds taken; `scratch` is a file name for the written bytes, removed afterwards.
double measureFloor(const std::filesystem::path& document,
                    const std::vector<std::filesystem::path>& inputTables, std::uintmax_t bytesToWrite,
                    const std::filesystem::path& scratch);

} // namespace pontrel::bench
