#include "platform/HtmlHelp.h"

#include <string>
#include <windows.h>

namespace pontrel::platform {

namespace {

// htmlhelp.h's commands; the header and its import library are not part of every tool chain, so the
// entry point is looked up at run time as the help viewer itself recommends.
constexpr UINT kHelpDisplayContents = 0x0001; // HH_DISPLAY_TOC
constexpr UINT kHelpContext = 0x000F;         // HH_HELP_CONTEXT
using HtmlHelpFunction = HWND(WINAPI*)(HWND, LPCSTR, UINT, DWORD_PTR);

HtmlHelpFunction entryPoint() {
    static HtmlHelpFunction function = [] {
        HMODULE library = LoadLibraryW(L"hhctrl.ocx");
        return library ? reinterpret_cast<HtmlHelpFunction>(
                             reinterpret_cast<void*>(GetProcAddress(library, "HtmlHelpA")))
                       : nullptr;
    }();
    return function;
}

// HtmlHelpA takes the file name in the ANSI code page.
std::string ansiPath(const std::filesystem::path& path) {
    const std::wstring wide = path.wstring();
    const int size = WideCharToMultiByte(CP_ACP, 0, wide.c_str(), -1, nullptr, 0, nullptr, nullptr);
    if (size <= 1)
        return {};
    std::string out(static_cast<std::size_t>(size - 1), '\0');
    WideCharToMultiByte(CP_ACP, 0, wide.c_str(), -1, out.data(), size, nullptr, nullptr);
    return out;
}

} // namespace

bool htmlHelpAvailable() {
    return entryPoint() != nullptr;
}

bool showHtmlHelp(const std::filesystem::path& chm, unsigned context, std::uintptr_t owner) {
    const HtmlHelpFunction help = entryPoint();
    if (!help)
        return false;
    const std::string file = ansiPath(chm);
    HWND window = reinterpret_cast<HWND>(owner);
    HWND shown = context == 0 ? help(window, file.c_str(), kHelpDisplayContents, 0)
                              : help(window, file.c_str(), kHelpContext, context);
    return shown != nullptr;
}

} // namespace pontrel::platform
