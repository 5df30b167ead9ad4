// One Spanish reason per system error, whichever system or library reported it; never the system's
// own (English) text.

#include "platform/PlatformFixture.h"

#include "platform/SystemError.h"

#include <gtest/gtest.h>

#include <cerrno>

namespace pontrel::platform {
namespace {

struct ReasonCase {
    int number;
    const char* reason;
};

// The C library's numbers, as std::filesystem reports them on both systems.
class CLibraryError : public ::testing::TestWithParam<ReasonCase> {};

TEST_P(CLibraryError, HasOneSpanishReason) {
    EXPECT_EQ(errorReason(std::error_code(GetParam().number, std::generic_category())), GetParam().reason);
#ifndef _WIN32
    EXPECT_EQ(errorReason(GetParam().number), GetParam().reason) << "errno is the native code here";
#endif
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CLibraryError,
    ::testing::Values(ReasonCase{EROFS, "el disco es de solo lectura"},
                      ReasonCase{ENOSPC, "el disco está lleno"},
                      ReasonCase{EACCES, "no hay permiso de acceso"},
                      ReasonCase{EPERM, "no hay permiso de acceso"}, ReasonCase{ENOENT, "no existe"},
                      ReasonCase{EISDIR, "es una carpeta, no un archivo"},
                      ReasonCase{EEXIST, "el archivo ya existe"},
                      ReasonCase{EFBIG, "el archivo supera el tamaño que admite el disco"},
                      ReasonCase{ENAMETOOLONG, "el nombre es demasiado largo"}));

TEST(SystemError, UnknownCodeIsNamedByNumberInSpanish) {
    EXPECT_EQ(errorReason(std::error_code(EDOM, std::generic_category())),
              "error del sistema " + std::to_string(EDOM));
    EXPECT_EQ(errorReason(987654), "error del sistema 987654");
}

#ifdef _WIN32
TEST(SystemError, WindowsCodesShareTheReasons) {
    EXPECT_EQ(errorReason(19 /*ERROR_WRITE_PROTECT*/), "el disco es de solo lectura");
    EXPECT_EQ(errorReason(112 /*ERROR_DISK_FULL*/), "el disco está lleno");
    EXPECT_EQ(errorReason(32 /*ERROR_SHARING_VIOLATION*/), "está abierto en otro programa");
    EXPECT_EQ(errorReason(33 /*ERROR_LOCK_VIOLATION*/), "está abierto en otro programa");
    EXPECT_EQ(errorReason(5 /*ERROR_ACCESS_DENIED*/), "no hay permiso de acceso");
    EXPECT_EQ(errorReason(2 /*ERROR_FILE_NOT_FOUND*/), "no existe");
    EXPECT_EQ(errorReason(3 /*ERROR_PATH_NOT_FOUND*/), "la carpeta no existe");
    EXPECT_EQ(errorReason(std::error_code(32, std::system_category())), "está abierto en otro programa");
}
#endif

TEST(SystemError, FilesystemErrorsOfThisSystemGetTheirReason) {
    platformtest::ScratchFolder folder;
    std::error_code ec;
    std::filesystem::create_directory(folder / "falta" / "otra", ec);
    ASSERT_TRUE(ec);
    const std::string reason = errorReason(ec);
    EXPECT_TRUE(reason == "no existe" || reason == "la carpeta no existe") << reason;
}

} // namespace
} // namespace pontrel::platform
