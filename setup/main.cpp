// Zelkon, the Kadrix setup program.
#include "setup/program.h"

#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    return kadrix::setup::RunProgram(kadrix::setup::CommandLineParameters());
}
