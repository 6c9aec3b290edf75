// A stand-in for a running AOL client, shared by the tests of the web page
// opener and of its callers: a top-level window with one of the client's
// class and title pairs, WIN.INI [WAOL] AppPath pointing at a scratch folder,
// and in that folder a copy of a fixture program named WAOL.EXE that writes
// the command line it was started with into cmdline.txt beside itself.
#pragma once

#include "testutil.h"

#include <windows.h>

#include <string>

class FakeAol {
public:
    explicit FakeAol(const char *className = "AOL Frame25", const char *title = "AOL",
                     bool withAppPath = true)
        : className_(className)
    {
        char saved[512] = "";
        hadAppPath_ = GetProfileStringA("WAOL", "AppPath", "\x01", saved, sizeof(saved)) > 0 &&
                      saved[0] != '\x01';
        savedAppPath_ = saved;
        folder = MakeScratchDir("fakeaol");
        CopyFileA(FixturePath("sheet_cmdline.exe").c_str(), (folder + "\\WAOL.EXE").c_str(), FALSE);
        if (withAppPath)
            WriteProfileStringA("WAOL", "AppPath", folder.c_str());
        else
            WriteProfileStringA("WAOL", "AppPath", nullptr);
        WNDCLASSA windowClass = {};
        windowClass.lpfnWndProc = DefWindowProcA;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = className_.c_str();
        RegisterClassA(&windowClass);
        window = CreateWindowExA(0, className_.c_str(), title, WS_OVERLAPPED, 0, 0, 10, 10, nullptr,
                                 nullptr, GetModuleHandleA(nullptr), nullptr);
    }
    ~FakeAol()
    {
        if (window)
            DestroyWindow(window);
        UnregisterClassA(className_.c_str(), GetModuleHandleA(nullptr));
        WriteProfileStringA("WAOL", "AppPath", hadAppPath_ ? savedAppPath_.c_str() : nullptr);
        RemoveTree(folder);
    }
    FakeAol(const FakeAol &) = delete;
    FakeAol &operator=(const FakeAol &) = delete;

    // The command line WAOL.EXE (or another copy of the fixture in the same
    // folder) recorded; empty when none came within the time allowed.
    std::string TakeCommandLine(DWORD timeoutMs = 15000)
    {
        std::string path = folder + "\\cmdline.txt";
        DWORD start = GetTickCount();
        while (GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES) {
            if (GetTickCount() - start > timeoutMs)
                return "";
            PumpMessages(50);
        }
        std::string line = ReadFileBytes(path);
        DeleteFileA(path.c_str());
        return line;
    }

    std::string folder;
    HWND window = nullptr;

private:
    std::string className_;
    bool hadAppPath_ = false;
    std::string savedAppPath_;
};
