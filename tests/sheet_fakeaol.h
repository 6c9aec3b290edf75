// A stand-in for a running AOL client: a window "AOL Frame25" titled "AOL",
// WIN.INI [WAOL] AppPath pointing at a scratch folder, and there a copy of the
// sheet_cmdline fixture named WAOL.EXE that records its command line.
#pragma once
#include "testutil.h"

// A top-level window of a class of its own (the class lives on with the process).
inline HWND MakeTopWindow(const char *className, const char *title)
{
    HINSTANCE instance = GetModuleHandleA(nullptr);
    WNDCLASSA windowClass = {0, DefWindowProcA, 0, 0, instance, {}, {}, {}, {}, className};
    RegisterClassA(&windowClass);
    return CreateWindowExA(0, className, title, 0, 0, 0, 9, 9, nullptr, nullptr, instance, nullptr);
}

struct FakeAol {
    std::string folder = MakeScratchDir("fakeaol"), record = folder + "\\cmdline.txt";
    char savedPath[512] = "";  // "\x01" when WIN.INI had none
    bool hadSection = false;  // else the whole [WAOL] goes again
    HWND window = MakeTopWindow("AOL Frame25", "AOL");
    FakeAol()
    {
        char keys[4];
        hadSection = GetProfileSectionA("WAOL", keys, sizeof(keys)) > 0;
        GetProfileStringA("WAOL", "AppPath", "\x01", savedPath, sizeof(savedPath));
        CopyFileA(FixturePath("sheet_cmdline.exe").c_str(), (folder + "\\WAOL.EXE").c_str(), FALSE);
        WriteProfileStringA("WAOL", "AppPath", folder.c_str());
    }
    ~FakeAol()
    {
        DestroyWindow(window);
        WriteProfileStringA("WAOL", hadSection ? "AppPath" : nullptr,
                            savedPath[0] == '\x01' ? nullptr : savedPath);
        RemoveTree(folder);
    }
    // What a program started from the folder recorded (taking it away), or "<missing>".
    std::string TakeCommandLine(DWORD timeoutMs = 15000)
    {
        DWORD start = GetTickCount();
        while (GetFileAttributesA(record.c_str()) == INVALID_FILE_ATTRIBUTES &&
               GetTickCount() - start < timeoutMs)
            PumpMessages(50);
        std::string line = ReadFileBytes(record);
        DeleteFileA(record.c_str());
        return line;
    }
};
