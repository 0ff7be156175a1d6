// The floor for the benchmark: a Windows GUI program that does nothing,
// built with the same toolchain and options as Tavrelon.exe.
#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    return 1;
}
