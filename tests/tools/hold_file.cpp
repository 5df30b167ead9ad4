// hold_file FILE MODE READY STOP: opens FILE as another program would and keeps it open until the file
// STOP exists, after writing READY once the file is open.
//   denegar-escritura  read access, others may only read (a dBase engine's table or index)
//   solo-lectura       read access, others may read and write (a viewer)
// Exit status 0 after STOP, 2 when FILE could not be opened.

#include <windows.h>

#include <cstdio>
#include <string>

int wmain(int argc, wchar_t** argv) {
    if (argc != 5) {
        std::fprintf(stderr, "uso: hold_file ARCHIVO denegar-escritura|solo-lectura LISTO PARAR\n");
        return 1;
    }
    const std::wstring mode = argv[2];
    const DWORD share = mode == L"solo-lectura" ? (FILE_SHARE_READ | FILE_SHARE_WRITE) : FILE_SHARE_READ;
    HANDLE held =
        CreateFileW(argv[1], GENERIC_READ, share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (held == INVALID_HANDLE_VALUE) {
        std::fprintf(stderr, "no se puede abrir: error %lu\n", GetLastError());
        return 2;
    }
    HANDLE ready =
        CreateFileW(argv[3], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    CloseHandle(ready);
    while (GetFileAttributesW(argv[4]) == INVALID_FILE_ATTRIBUTES)
        Sleep(50);
    CloseHandle(held);
    return 0;
}
