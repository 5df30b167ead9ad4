#pragma once
// Included before every test source of the Windows build: the POSIX calls that tests use to make
// scratch folders and set the environment, in Windows spelling. Not part of the program.

#ifdef _WIN32
#include <cstdlib>
#include <direct.h>
#include <io.h>
#include <process.h>
#include <random>
#include <string>

inline char* mkdtemp(char* pattern) {
    std::string text(pattern);
    const auto at = text.rfind("XXXXXX");
    if (at == std::string::npos)
        return nullptr;
    std::random_device random;
    static const char letters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    for (int attempt = 0; attempt < 100; ++attempt) {
        for (std::size_t i = 0; i < 6; ++i)
            pattern[at + i] = letters[random() % 36];
        if (_mkdir(pattern) == 0)
            return pattern;
    }
    return nullptr;
}

inline int setenv(const char* name, const char* value, int overwrite) {
    if (!overwrite && std::getenv(name))
        return 0;
    return _putenv_s(name, value);
}

inline int unsetenv(const char* name) {
    return _putenv_s(name, "");
}
#endif
