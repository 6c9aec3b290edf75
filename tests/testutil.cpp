#include "testutil.h"

#include <string.h>

#include <vector>

std::string TestDir()
{
    char path[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, path, sizeof(path));
    char *slash = strrchr(path, '\\');
    if (slash)
        *slash = '\0';
    return path;
}

std::string FixturePath(const char *name)
{
    return TestDir() + "\\fixtures\\" + name;
}

void RemoveTree(const std::string &folder)
{
    WIN32_FIND_DATAA find;
    HANDLE h = FindFirstFileA((folder + "\\*").c_str(), &find);
    if (h != INVALID_HANDLE_VALUE) {
        do {
            if (!strcmp(find.cFileName, ".") || !strcmp(find.cFileName, ".."))
                continue;
            std::string item = folder + "\\" + find.cFileName;
            SetFileAttributesA(item.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (find.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(item);
            else
                DeleteFileA(item.c_str());
        } while (FindNextFileA(h, &find));
        FindClose(h);
    }
    SetFileAttributesA(folder.c_str(), FILE_ATTRIBUTE_NORMAL);
    RemoveDirectoryA(folder.c_str());
}

std::string MakeScratchDir(const char *name)
{
    std::string folder = TestDir() + "\\scratch";
    CreateDirectoryA(folder.c_str(), nullptr);
    folder += "\\";
    folder += name;
    RemoveTree(folder);
    CreateDirectoryA(folder.c_str(), nullptr);
    return folder;
}

bool WriteFileBytes(const std::string &path, const std::string &bytes)
{
    HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    BOOL ok = WriteFile(h, bytes.data(), (DWORD)bytes.size(), &written, nullptr);
    CloseHandle(h);
    return ok && written == bytes.size();
}

std::string ReadFileBytes(const std::string &path)
{
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return "<missing>";
    std::string bytes;
    char chunk[4096];
    DWORD got = 0;
    while (ReadFile(h, chunk, sizeof(chunk), &got, nullptr) && got > 0)
        bytes.append(chunk, got);
    CloseHandle(h);
    return bytes;
}

bool DeleteRegTree(HKEY root, const char *subkey)
{
    HKEY key;
    if (RegOpenKeyExA(root, subkey, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
        return true;
    std::vector<std::string> children;
    char name[512];
    for (DWORD i = 0;; ++i) {
        DWORD size = sizeof(name);
        if (RegEnumKeyExA(key, i, name, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        children.push_back(name);
    }
    RegCloseKey(key);
    for (const auto &child : children)
        DeleteRegTree(root, (std::string(subkey) + "\\" + child).c_str());
    return RegDeleteKeyA(root, subkey) == ERROR_SUCCESS;
}

bool SetRegString(HKEY root, const char *subkey, const char *name, const char *value, DWORD type)
{
    HKEY key;
    if (RegCreateKeyA(root, subkey, &key) != ERROR_SUCCESS)
        return false;
    LONG r = RegSetValueExA(key, name, 0, type, (const BYTE *)value, (DWORD)strlen(value) + 1);
    RegCloseKey(key);
    return r == ERROR_SUCCESS;
}

std::string GetRegString(HKEY root, const char *subkey, const char *name)
{
    HKEY key;
    if (RegOpenKeyExA(root, subkey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return "<missing>";
    char value[4096];
    DWORD size = sizeof(value) - 1;
    DWORD type = 0;
    LONG r = RegQueryValueExA(key, name, nullptr, &type, (BYTE *)value, &size);
    RegCloseKey(key);
    if (r != ERROR_SUCCESS)
        return "<missing>";
    value[size] = '\0';
    return value;
}

bool RegValueExists(HKEY root, const char *subkey, const char *name)
{
    return GetRegString(root, subkey, name) != "<missing>";
}

void PumpMessages(DWORD ms)
{
    DWORD end = GetTickCount() + ms;
    do {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        Sleep(10);
    } while ((LONG)(end - GetTickCount()) > 0);
}

namespace {

struct FindBox {
    DWORD process;
    HWND found;
};

BOOL CALLBACK FindBoxProc(HWND window, LPARAM lParam)
{
    FindBox *find = (FindBox *)lParam;
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process != find->process || !IsWindowVisible(window))
        return TRUE;
    char cls[64];
    GetClassNameA(window, cls, sizeof(cls));
    if (strcmp(cls, "#32770") != 0)
        return TRUE;
    // Property sheets are #32770 too; they carry a tab control.
    if (FindWindowExA(window, nullptr, "SysTabControl32", nullptr))
        return TRUE;
    // A message box has a button with the ID we look for, or at least IDOK.
    find->found = window;
    return FALSE;
}

BOOL CALLBACK CollectText(HWND child, LPARAM lParam)
{
    std::string *text = (std::string *)lParam;
    char cls[64];
    GetClassNameA(child, cls, sizeof(cls));
    if (!lstrcmpiA(cls, "Static")) {
        char buffer[2048];
        GetWindowTextA(child, buffer, sizeof(buffer));
        if (buffer[0]) {
            if (!text->empty())
                *text += "\n";
            *text += buffer;
        }
    }
    return TRUE;
}

} // namespace

BoxAnswerer::BoxAnswerer(int button, DWORD timeoutMs)
    : button_(button), timeout_(timeoutMs), threadId_(GetCurrentThreadId()),
      thread_([this] { Run(); })
{
}

BoxAnswerer::~BoxAnswerer()
{
    done_ = true;
    if (thread_.joinable())
        thread_.join();
}

bool BoxAnswerer::Wait()
{
    // The box runs its own modal loop on the test thread; once answered, the
    // watcher ends by itself.
    if (thread_.joinable())
        thread_.join();
    return answered != 0;
}

void BoxAnswerer::Run()
{
    DWORD start = GetTickCount();
    while (!done_ && GetTickCount() - start < timeout_) {
        FindBox find = {GetCurrentProcessId(), nullptr};
        EnumWindows(FindBoxProc, (LPARAM)&find);
        if (find.found) {
            Sleep(50);  // let the box finish WM_INITDIALOG
            char buffer[512] = "";
            GetWindowTextA(find.found, buffer, sizeof(buffer));
            caption = buffer;
            EnumChildWindows(find.found, CollectText, (LPARAM)&text);
            HWND control = GetDlgItem(find.found, button_);
            PostMessageA(find.found, WM_COMMAND, MAKEWPARAM(button_, BN_CLICKED), (LPARAM)control);
            answered = 1;
            return;
        }
        Sleep(20);
    }
}
