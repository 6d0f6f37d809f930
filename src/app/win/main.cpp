// quarnel.exe: the desktop program on the Win32 API.
#include <windows.h>

#include "app/win/Desktop.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) { return quarnel::RunDesktop(); }
