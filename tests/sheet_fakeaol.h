// A stand-in for a running AOL client: a window "AOL Frame25" titled "AOL",
// WIN.INI [WAOL] AppPath pointing at a scratch folder, and there a copy of the
// sheet_cmdline fixture named WAOL.EXE that records its command line.
#pragma once
#include "testutil.h"

// A top-level window of a class of its own (the class lives on with the process).
inline HWND MakeTopWindow(const char *className, const char *title, WNDPROC procedure = DefWindowProcA)
{
    WNDCLASSA windowClass = {0, procedure, 0, 0, GetModuleHandleA(nullptr), {}, {}, {}, {}, className};
    RegisterClassA(&windowClass);
    return CreateWindowExA(0, className, title, 0, 0, 0, 9, 9, nullptr, nullptr, windowClass.hInstance, nullptr);
}

struct FakeAol {
    std::string folder = MakeScratchDir("fakeaol"), record = folder + "\\cmdline.txt";
    char saved[512] = "", keys[4] = "";
    bool hadSection = GetProfileSectionA("WAOL", keys, sizeof(keys)) > 0;  // else the whole [WAOL] goes again
    bool hadPath = GetProfileStringA("WAOL", "AppPath", "", saved, sizeof(saved)) > 0;
    HWND window = MakeTopWindow("AOL Frame25", "AOL");
    bool placed = CopyFileA(FixturePath("sheet_cmdline.exe").c_str(), (folder + "\\WAOL.EXE").c_str(), FALSE) &&
                  WriteProfileStringA("WAOL", "AppPath", folder.c_str());
    ~FakeAol()
    {
        DestroyWindow(window);
        WriteProfileStringA("WAOL", hadSection ? "AppPath" : nullptr, hadPath ? saved : nullptr);
        RemoveTree(folder);
    }
    // What a program started from the folder recorded (taking it away), or "<missing>".
    std::string TakeCommandLine(DWORD timeoutMs = 15000)
    {
        for (DWORD start = GetTickCount(); !PathExists(record) && GetTickCount() - start < timeoutMs;)
            PumpMessages(50);
        std::string line = ReadFileBytes(record);
        DeleteFileA(record.c_str());
        return line;
    }
};
