// The program's folder, Velmora's working folder, HTML Help and native windows: what each system
// offers.

#include "platform/PlatformFixture.h"
#include "support/EnvironmentGuard.h"

#include "platform/Folders.h"
#include "platform/HtmlHelp.h"
#include "platform/NativeWindow.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace pontrel::platform {
namespace {

using platformtest::kWindows;

TEST(Folders, ProgramFolderHoldsTheRunningExecutable) {
    const std::filesystem::path folder = programFolder();
    ASSERT_FALSE(folder.empty());
    bool found = false;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        found = found || entry.path().stem() == "test_platform";
    EXPECT_TRUE(found) << folder;
}

#ifdef _WIN32
TEST(Folders, WorkingFolderIsVtempOnDriveC) {
    EXPECT_EQ(defaultWorkingFolder(), std::filesystem::path(L"C:\\VTEMP"));
}
#else
TEST(Folders, WorkingFolderFollowsTheEnvironment) {
    platformtest::ScratchFolder prefix;
    testing::EnvironmentGuard environment;
    environment.set("PONTREL_VTEMP", "/srv/vtemp");
    EXPECT_EQ(defaultWorkingFolder(), "/srv/vtemp");
    environment.set("PONTREL_VTEMP", std::nullopt);
    environment.set("WINEPREFIX", prefix.path().string());
    EXPECT_EQ(defaultWorkingFolder(), prefix / "drive_c" / "VTEMP");
    std::filesystem::create_directories(prefix / "drive_c" / "vtemp");
    EXPECT_EQ(defaultWorkingFolder(), prefix / "drive_c" / "vtemp") << "made by a program in lower case";
}
#endif

TEST(HtmlHelp, ControlIsReachedOnWindowsOnly) {
    EXPECT_EQ(htmlHelpAvailable(), kWindows);
}

TEST(NativeWindow, AHandleThatNamesNoWindowIsMissing) {
    EXPECT_FALSE(nativeWindowExists(0));
    EXPECT_FALSE(nativeWindowExists(0x7ffffff0));
}

} // namespace
} // namespace pontrel::platform
