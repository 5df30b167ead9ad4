#pragma once
// The folders Pontrel works with: Velmora's working folder and the program's own folder.

#include <filesystem>

namespace pontrel::platform {

// C:\VTEMP on Windows; elsewhere $PONTREL_VTEMP when set, otherwise $WINEPREFIX/drive_c/VTEMP
// (WINEPREFIX defaulting to ~/.wine), where Velmora run under Wine keeps it. Only names the folder.
std::filesystem::path defaultWorkingFolder();

// The folder of the running executable (NIVELCAN.DBF, Velmora.ini and YEDRA.chm lie beside it);
// empty when the system does not say.
std::filesystem::path programFolder();

} // namespace pontrel::platform
