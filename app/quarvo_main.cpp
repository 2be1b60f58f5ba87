// The program takes no arguments and reads no configuration.
#include <windows.h>

#include "app/converter_main.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) { converter_main(); }
