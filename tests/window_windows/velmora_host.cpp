// Velmora's stand-in on Windows, for the window's checks under Wine: a plain Win32 top-level window that
// starts Pontrel with a direction word and the window's handle in hexadecimal, as Velmora does, and
// waits for it.
//
//   velmora_host [--close-when FILE] PROGRAM DIRECTION
//
// Writes to its standard output, one line each:
//   HOST <hex handle>                     the window exists and Pontrel is being started
//   CHILD <hex> visible=<0|1> x=<x> y=<y> width=<w> height=<h> caption=<0|1> child=<0|1>
//         screen=<x>,<y> title=<t>        (one line) Pontrel's window found among the host window's own
//                                         children, again each time it changes: whether it is shown,
//                                         its place in the host's client area, its client size,
//                                         whether it has a caption bar and the WS_CHILD style, where
//                                         its client area starts on the screen, and its title (UTF-8).
//                                         A direction runs, its file dialog first, before the window
//                                         shows itself; Qt gives it its place and style when it shows.
//   HOST CLOSED                           the host window was destroyed (--close-when FILE: as soon as
//                                         FILE exists, the check creates it at the moment it wants)
//   EXIT <code>                           Pontrel's exit code
// Exit status 0 once Pontrel has ended, 2 when it could not be started. Pontrel inherits the standard
// handles, so what it writes to its error output reaches this program's.

#include <windows.h>

#include <cstdio>
#include <string>

namespace {

const wchar_t* const kClassName = L"VelmoraSuplente";

LRESULT CALLBACK hostProcedure(HWND window, UINT message, WPARAM w, LPARAM l) {
    if (message == WM_CLOSE) {
        DestroyWindow(window);
        return 0;
    }
    return DefWindowProcW(window, message, w, l);
}

HWND createHostWindow() {
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = hostProcedure;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    // A grey, so that the embedded window stands out in screenshots.
    windowClass.hbrBackground = CreateSolidBrush(RGB(0x9A, 0xA4, 0xB0));
    windowClass.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    windowClass.lpszClassName = kClassName;
    RegisterClassW(&windowClass);
    HWND window = CreateWindowExW(0, kClassName, L"Velmora (simulado)", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN,
                                  20, 20, 800, 400, nullptr, nullptr, windowClass.hInstance, nullptr);
    ShowWindow(window, SW_SHOW);
    UpdateWindow(window);
    return window;
}

std::string utf8(const std::wstring& text) {
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    if (size <= 1)
        return {};
    std::string out(static_cast<std::size_t>(size - 1), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, out.data(), size, nullptr, nullptr);
    return out;
}

void say(const std::string& line) {
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
}

// The first child window of `host` that belongs to the process `process`; nullptr if none yet.
HWND pontrelChild(HWND host, DWORD process) {
    for (HWND child = GetWindow(host, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        DWORD owner = 0;
        GetWindowThreadProcessId(child, &owner);
        if (owner == process)
            return child;
    }
    return nullptr;
}

std::string describeChild(HWND host, HWND child) {
    RECT frame;
    GetWindowRect(child, &frame);
    MapWindowPoints(HWND_DESKTOP, host, reinterpret_cast<POINT*>(&frame), 2);
    RECT client;
    GetClientRect(child, &client);
    POINT screen = {0, 0};
    ClientToScreen(child, &screen);
    const LONG_PTR style = GetWindowLongPtrW(child, GWL_STYLE);
    std::wstring title(256, L'\0');
    title.resize(
        static_cast<std::size_t>(GetWindowTextW(child, title.data(), static_cast<int>(title.size()))));
    char line[200];
    std::snprintf(
        line, sizeof line,
        "CHILD %llx visible=%d x=%ld y=%ld width=%ld height=%ld caption=%d child=%d screen=%ld,%ld title=",
        static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(child)), IsWindowVisible(child) != 0,
        frame.left, frame.top, client.right - client.left, client.bottom - client.top,
        (style & WS_CAPTION) == WS_CAPTION, (style & WS_CHILD) != 0, screen.x, screen.y);
    return line + utf8(title);
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    const wchar_t* closeWhen = nullptr;
    int first = 1;
    if (argc > 2 && std::wstring(argv[1]) == L"--close-when") {
        closeWhen = argv[2];
        first = 3;
    }
    if (argc - first != 2) {
        std::fprintf(stderr, "uso: velmora_host [--close-when FICHERO] PROGRAMA DIRECCION\n");
        return 2;
    }
    const std::wstring program = argv[first];
    const std::wstring direction = argv[first + 1];

    HWND host = createHostWindow();
    wchar_t handle[32];
    std::swprintf(handle, 32, L"%llx",
                  static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(host)));
    say("HOST " + utf8(handle));

    std::wstring commandLine = L"\"" + program + L"\" " + direction + L" " + handle;
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION started = {};
    if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                        &startup, &started)) {
        std::fprintf(stderr, "velmora_host: no se puede iniciar el programa (error %lu)\n", GetLastError());
        return 2;
    }
    CloseHandle(started.hThread);

    // The host window keeps answering its messages while Pontrel lives in it, as Velmora's does.
    std::string childSeen;
    bool hostClosed = false;
    for (;;) {
        const DWORD woken = MsgWaitForMultipleObjects(1, &started.hProcess, FALSE, 50, QS_ALLINPUT);
        if (woken == WAIT_OBJECT_0)
            break;
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        if (!hostClosed) {
            if (HWND child = pontrelChild(host, started.dwProcessId)) {
                const std::string seen = describeChild(host, child);
                if (seen != childSeen)
                    say(seen);
                childSeen = seen;
            }
        }
        if (!hostClosed && closeWhen && GetFileAttributesW(closeWhen) != INVALID_FILE_ATTRIBUTES) {
            DestroyWindow(host);
            hostClosed = true;
            say("HOST CLOSED");
        }
    }
    DWORD code = 0;
    GetExitCodeProcess(started.hProcess, &code);
    CloseHandle(started.hProcess);
    say("EXIT " + std::to_string(code));
    return 0;
}
