// SPDX-License-Identifier: GPL-3.0-or-later
// Checks the console output of the platform layer on a real console (scripts/windows-check.sh runs
// it under Wine with a display, which a console needs there): writes Spanish text, a euro sign and
// Greek through platform::standardOutput(), one character split between two writes, and reads the
// console's screen back. Exit status 0 when the screen shows the text letter for letter; otherwise 1,
// with what it shows on the standard error.

#include "platform/Console.h"

#include <cstdio>
#include <ostream>
#include <string>
#include <windows.h>

int main() {
    FreeConsole();
    if (!AllocConsole()) {
        std::fprintf(stderr, "console_check: no se pudo crear una consola (%lu)\n", GetLastError());
        return 1;
    }
    const HANDLE console =
        CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                    OPEN_EXISTING, 0, nullptr);
    SetStdHandle(STD_OUTPUT_HANDLE, console);

    std::ostream& out = pontrel::platform::standardOutput();
    const std::string ene = "\xC3\xB1"; // ñ, written a byte at a time
    out << "Jos\xC3\xA9 N\xC3\xBA";
    out.write(ene.data(), 1);
    out.write(ene.data() + 1, 1);
    out << "ez \xE2\x82\xAC \xCE\xA9";

    const std::wstring expected = L"Jos\u00e9 N\u00fa\u00f1ez \u20ac \u03a9";
    std::wstring shown(expected.size(), L'\0');
    DWORD read = 0;
    ReadConsoleOutputCharacterW(console, shown.data(), static_cast<DWORD>(shown.size()), COORD{0, 0}, &read);
    if (shown == expected)
        return 0;
    std::fprintf(stderr, "console_check: la consola muestra:");
    for (wchar_t c : shown)
        std::fprintf(stderr, " %04x", static_cast<unsigned>(c));
    std::fprintf(stderr, "\n");
    return 1;
}
