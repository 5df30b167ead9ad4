// Velmora's stand-in for the embedding tests: creates a plain X window, prints its handle and starts
// Pontrel with a direction word and that handle in hexadecimal, as Velmora does, then waits for it.
//
//   host_window [--close-after-ms N | --close-when FILE] PROGRAM DIRECTION
//
// Prints "HOST <hex handle>" when the window exists and "EXIT <status>" when Pontrel has ended. With
// --close-after-ms the host window is destroyed N milliseconds after Pontrel started; with --close-when
// as soon as FILE exists (the test creates it at the moment it wants the host gone).

#include <xcb/xcb.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

int main(int argc, char** argv) {
    int closeAfterMs = -1;
    const char* closeWhen = nullptr;
    int first = 1;
    if (argc > 2 && std::strcmp(argv[1], "--close-after-ms") == 0) {
        closeAfterMs = std::atoi(argv[2]);
        first = 3;
    } else if (argc > 2 && std::strcmp(argv[1], "--close-when") == 0) {
        closeWhen = argv[2];
        first = 3;
    }
    if (argc - first != 2) {
        std::fprintf(stderr,
                     "uso: host_window [--close-after-ms N | --close-when FICHERO] PROGRAMA DIRECCION\n");
        return 2;
    }
    const char* program = argv[first];
    const char* direction = argv[first + 1];

    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(connection)) {
        std::fprintf(stderr, "host_window: no X display\n");
        return 2;
    }
    xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
    xcb_window_t window = xcb_generate_id(connection);
    // A grey of the 24-bit TrueColor visual, so the embedded window stands out in screenshots.
    const uint32_t values[] = {0x9AA4B0};
    xcb_create_window(connection, XCB_COPY_FROM_PARENT, window, screen->root, 20, 20, 800, 400, 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, XCB_CW_BACK_PIXEL, values);
    const char* title = "Velmora (simulado)";
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8,
                        std::strlen(title), title);
    xcb_map_window(connection, window);
    xcb_flush(connection);

    char handle[32];
    std::snprintf(handle, sizeof handle, "%x", window);
    std::printf("HOST %s\n", handle);
    std::fflush(stdout);

    pid_t child = fork();
    if (child == 0) {
        execl(program, program, direction, handle, static_cast<char*>(nullptr));
        std::perror("host_window: exec");
        _exit(127);
    }

    const auto started = std::chrono::steady_clock::now();
    int status = 0;
    bool hostClosed = false;
    for (;;) {
        pid_t done = waitpid(child, &status, WNOHANG);
        if (done == child)
            break;
        const bool closeNow = (closeAfterMs >= 0 && std::chrono::steady_clock::now() - started >=
                                                        std::chrono::milliseconds(closeAfterMs)) ||
                              (closeWhen && std::filesystem::exists(closeWhen));
        if (!hostClosed && closeNow) {
            xcb_destroy_window(connection, window);
            xcb_flush(connection);
            hostClosed = true;
            std::printf("HOST CLOSED\n");
            std::fflush(stdout);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    std::printf("EXIT %d\n", WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status));
    std::fflush(stdout);
    xcb_disconnect(connection);
    return 0;
}
