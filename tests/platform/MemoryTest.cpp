// Preparing memory to be filled is a request about its pages only: what the memory holds stays.

#include "platform/Memory.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace pontrel::platform {
namespace {

TEST(PrepareToFill, KeepsWhatTheMemoryHolds) {
    // A buffer of some megabytes, as a table read whole is, and ranges that start and end inside pages.
    std::vector<std::uint8_t> buffer(6 * 1024 * 1024 + 123);
    for (std::size_t i = 0; i < buffer.size(); ++i)
        buffer[i] = static_cast<std::uint8_t>(i * 7 + 1);
    prepareToFill(buffer.data(), buffer.size());
    prepareToFill(buffer.data() + 1, buffer.size() - 3);
    prepareToFill(buffer.data() + 4097, 300 * 1024);
    prepareToFill(buffer.data() + 10, 100); // less than a page
    prepareToFill(buffer.data(), 0);
    prepareToFill(nullptr, 0);
    std::size_t changed = 0;
    for (std::size_t i = 0; i < buffer.size(); ++i)
        if (buffer[i] != static_cast<std::uint8_t>(i * 7 + 1))
            ++changed;
    EXPECT_EQ(changed, 0u);
}

} // namespace
} // namespace pontrel::platform
