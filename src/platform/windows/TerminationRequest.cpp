#include "platform/TerminationRequest.h"

#include <mutex>
#include <thread>
#include <windows.h>

namespace pontrel::platform {

namespace {

// The session's end is announced to every top-level window (not to message-only ones). The main window
// may live inside Velmora's window as a child and hear nothing, so a hidden top-level window of its
// own, on a thread of its own, listens.
constexpr const wchar_t* kListenerClass = L"PontrelTerminationListener";

LRESULT CALLBACK listenerProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_QUERYENDSESSION:
        return TRUE; // the program does not hold the session up
    case WM_ENDSESSION:
        // Once this returns, the system may end the process at any moment.
        if (wParam)
            termination::runRequests();
        return 0;
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

void listen() {
    HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = listenerProcedure;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = kListenerClass;
    if (!RegisterClassW(&windowClass))
        return;
    // Never shown: WS_POPUP without WS_VISIBLE.
    if (!CreateWindowExW(WS_EX_TOOLWINDOW, kListenerClass, L"Pontrel", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                         instance, nullptr))
        return;
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

// A program started from a console hears the console being closed, and Ctrl+C, here; the system
// calls it on a thread of its own. Returning FALSE lets the default handler end the process.
BOOL WINAPI consoleHandler(DWORD event) {
    switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
        termination::runRequests();
        return FALSE;
    default:
        return FALSE;
    }
}

} // namespace

void termination::installListener() {
    static std::once_flag once;
    std::call_once(once, [] {
        std::thread(listen).detach();
        SetConsoleCtrlHandler(consoleHandler, TRUE);
    });
}

} // namespace pontrel::platform
