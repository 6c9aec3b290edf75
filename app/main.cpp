// Process entry. Everything else lives in the core library so that the tests
// run the very code the program runs.
#include "app/app.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int show)
{
    (void)previous;
    (void)commandLine;
    (void)show;
    if (!StartProgram(instance))
        return 0;
    int code = RunMessageLoop();
    EndProgram();
    return code;
}
