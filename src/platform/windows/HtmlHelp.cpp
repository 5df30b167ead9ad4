#include "platform/HtmlHelp.h"

#include <string>
#include <windows.h>

namespace pontrel::platform {

namespace {

// htmlhelp.h's commands; the header and its import library are not part of every tool chain, so the
// entry point is looked up at run time as the help viewer itself recommends.
constexpr UINT kHelpDisplayContents = 0x0001; // HH_DISPLAY_TOC
constexpr UINT kHelpContext = 0x000F;         // HH_HELP_CONTEXT
using HtmlHelpFunction = HWND(WINAPI*)(HWND, LPCWSTR, UINT, DWORD_PTR);

HtmlHelpFunction entryPoint() {
    static HtmlHelpFunction function = [] {
        HMODULE library = LoadLibraryW(L"hhctrl.ocx");
        return library ? reinterpret_cast<HtmlHelpFunction>(
                             reinterpret_cast<void*>(GetProcAddress(library, "HtmlHelpW")))
                       : nullptr;
    }();
    return function;
}

} // namespace

bool htmlHelpAvailable() {
    return entryPoint() != nullptr;
}

bool showHtmlHelp(const std::filesystem::path& chm, unsigned context, std::uintptr_t owner) {
    const HtmlHelpFunction help = entryPoint();
    if (!help)
        return false;
    // The wide entry point: a help file in a folder whose name the ANSI code page cannot spell (a user
    // profile "C:\Users\José Núñez" on a system whose code page lacks those letters) still opens.
    const std::wstring file = chm.wstring();
    HWND window = reinterpret_cast<HWND>(owner);
    HWND shown = context == 0 ? help(window, file.c_str(), kHelpDisplayContents, 0)
                              : help(window, file.c_str(), kHelpContext, context);
    return shown != nullptr;
}

} // namespace pontrel::platform
