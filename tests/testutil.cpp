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

HANDLE StartChildProcess(const std::string &path, const char *args, DWORD *processId)
{
    std::string command = "\"" + path + "\"";
    if (args && *args)
        command += std::string(" ") + args;
    std::vector<char> line(command.begin(), command.end());
    line.push_back('\0');
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info = {};
    if (!CreateProcessA(path.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &info))
        return nullptr;
    CloseHandle(info.hThread);
    if (processId)
        *processId = info.dwProcessId;
    return info.hProcess;
}

void EndChildProcess(HANDLE process)
{
    if (!process)
        return;
    if (WaitForSingleObject(process, 0) == WAIT_TIMEOUT)
        TerminateProcess(process, 1);
    WaitForSingleObject(process, 10000);
    CloseHandle(process);
}

// --- Modal windows driven from inside their own message loop (sheet) -------
#include "app/app.h"

#include <commctrl.h>

#include <map>

namespace {

struct PendingWindow {
    HWND (*find)();
    std::function<void(HWND)> body;
    DWORD start;
    DWORD timeout;
};

std::map<UINT_PTR, PendingWindow> &PendingWindows()
{
    static std::map<UINT_PTR, PendingWindow> pending;
    return pending;
}

struct ThreadWindowSearch {
    bool wantSheet;
    HWND found;
};

BOOL CALLBACK FindThreadWindowProc(HWND window, LPARAM lParam)
{
    ThreadWindowSearch *search = (ThreadWindowSearch *)lParam;
    if (!IsWindowVisible(window))
        return TRUE;
    char cls[64] = "";
    GetClassNameA(window, cls, sizeof(cls));
    if (strcmp(cls, "#32770") != 0)
        return TRUE;
    bool sheet = FindWindowExA(window, nullptr, "SysTabControl32", nullptr) != nullptr;
    if (sheet != search->wantSheet)
        return TRUE;
    // A dialog over a sheet disables the sheet; the enabled one is the top.
    if (!search->wantSheet && !IsWindowEnabled(window))
        return TRUE;
    search->found = window;
    return FALSE;
}

void CALLBACK PendingWindowTimer(HWND, UINT, UINT_PTR id, DWORD)
{
    auto it = PendingWindows().find(id);
    if (it == PendingWindows().end()) {
        KillTimer(nullptr, id);
        return;
    }
    HWND window = it->second.find();
    bool late = GetTickCount() - it->second.start > it->second.timeout;
    if (!window && !late)
        return;
    KillTimer(nullptr, id);
    PendingWindow pending = std::move(it->second);
    PendingWindows().erase(it);
    if (window) {
        pending.body(window);
        return;
    }
    // Nothing came: whatever modal window is up must not keep the test waiting.
    HWND stray = FindThreadDialog();
    if (!stray)
        stray = FindThreadSheet();
    if (stray)
        PostMessageA(stray, WM_COMMAND, IDCANCEL, 0);
}

} // namespace

UINT_PTR WhenWindowAppears(HWND (*find)(), const std::function<void(HWND)> &body, DWORD timeoutMs)
{
    UINT_PTR id = SetTimer(nullptr, 0, 30, PendingWindowTimer);
    PendingWindows()[id] = PendingWindow{find, body, GetTickCount(), timeoutMs};
    return id;
}

void CancelWindowWait(UINT_PTR id)
{
    if (PendingWindows().erase(id))
        KillTimer(nullptr, id);
}

HWND FindThreadSheet()
{
    ThreadWindowSearch search = {true, nullptr};
    EnumThreadWindows(GetCurrentThreadId(), FindThreadWindowProc, (LPARAM)&search);
    return search.found;
}

HWND FindThreadDialog()
{
    ThreadWindowSearch search = {false, nullptr};
    EnumThreadWindows(GetCurrentThreadId(), FindThreadWindowProc, (LPARAM)&search);
    return search.found;
}

bool DriveSheet(HWND owner, int startPage, const std::function<void(HWND)> &body)
{
    bool seen = false;
    UINT_PTR wait = WhenWindowAppears(FindThreadSheet, [&](HWND sheet) {
        seen = true;
        body(sheet);
        if (IsWindow(sheet))
            PostMessageA(sheet, WM_COMMAND, IDCANCEL, 0);
    });
    ShowPropertySheet(owner, startPage);
    CancelWindowWait(wait);
    return seen;
}

int SheetCurrentTab(HWND sheet)
{
    HWND tabs = FindWindowExA(sheet, nullptr, "SysTabControl32", nullptr);
    return tabs ? (int)SendMessageA(tabs, TCM_GETCURSEL, 0, 0) : -1;
}

HWND SheetCurrentPage(HWND sheet)
{
    return (HWND)SendMessageA(sheet, PSM_GETCURRENTPAGEHWND, 0, 0);
}

std::string SheetTabText(HWND sheet, int index)
{
    HWND tabs = FindWindowExA(sheet, nullptr, "SysTabControl32", nullptr);
    char text[256] = "";
    TCITEMA item = {};
    item.mask = TCIF_TEXT;
    item.pszText = text;
    item.cchTextMax = sizeof(text);
    if (!tabs || !SendMessageA(tabs, TCM_GETITEMA, (WPARAM)index, (LPARAM)&item))
        return "<none>";
    return text;
}

std::string WindowText(HWND window)
{
    char text[1024] = "";
    GetWindowTextA(window, text, sizeof(text));
    return text;
}

void ScreenshotPoint(const char *name)
{
    char folder[MAX_PATH] = "";
    if (!GetEnvironmentVariableA("SENTROVIA_SHOT_DIR", folder, sizeof(folder)) || !folder[0])
        return;
    std::string marker = std::string(folder) + "\\" + name + ".ready";
    PumpMessages(300);  // let every window finish painting
    if (!WriteFileBytes(marker, name))
        return;
    DWORD start = GetTickCount();
    while (GetFileAttributesA(marker.c_str()) != INVALID_FILE_ATTRIBUTES &&
           GetTickCount() - start < 20000)
        PumpMessages(50);
    DeleteFileA(marker.c_str());
}

// --- Startup sources: shortcuts, saved registry values, WIN.INI lines ------
#include <objbase.h>
#include <shlobj.h>

bool CreateShortcutFile(const std::string &path, const std::string &target,
                        const char *description)
{
    IShellLinkA *link = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                (void **)&link)))
        return false;
    bool ok = SUCCEEDED(link->SetPath(target.c_str()));
    if (ok && description && *description)
        ok = SUCCEEDED(link->SetDescription(description));
    IPersistFile *file = nullptr;
    if (ok)
        ok = SUCCEEDED(link->QueryInterface(IID_IPersistFile, (void **)&file));
    if (ok) {
        WCHAR wide[MAX_PATH];
        MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide, MAX_PATH);
        ok = SUCCEEDED(file->Save(wide, TRUE));
        file->Release();
    }
    link->Release();
    return ok;
}

SavedRegValue SaveRegValue(HKEY root, const char *subkey, const char *name)
{
    SavedRegValue saved;
    saved.root = root;
    saved.subkey = subkey;
    saved.name = name;
    HKEY key;
    if (RegOpenKeyExA(root, subkey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return saved;
    std::vector<char> data(65536);
    DWORD size = (DWORD)data.size();
    if (RegQueryValueExA(key, name, nullptr, &saved.type, (BYTE *)data.data(), &size) ==
        ERROR_SUCCESS) {
        saved.existed = true;
        saved.data.assign(data.data(), size);
    }
    // Keep the name as the key spells it ("StartUp"), so that a value deleted
    // and written back looks as it did.
    char found[16384];
    for (DWORD i = 0; saved.existed; ++i) {
        DWORD length = sizeof(found);
        if (RegEnumValueA(key, i, found, &length, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        if (lstrcmpiA(found, name) == 0) {
            saved.name = found;
            break;
        }
    }
    RegCloseKey(key);
    return saved;
}

void RestoreRegValue(const SavedRegValue &saved)
{
    HKEY key;
    if (!saved.existed) {
        if (RegOpenKeyExA(saved.root, saved.subkey.c_str(), 0, KEY_WRITE, &key) == ERROR_SUCCESS) {
            RegDeleteValueA(key, saved.name.c_str());
            RegCloseKey(key);
        }
        return;
    }
    if (RegCreateKeyA(saved.root, saved.subkey.c_str(), &key) != ERROR_SUCCESS)
        return;
    RegSetValueExA(key, saved.name.c_str(), 0, saved.type, (const BYTE *)saved.data.data(),
                   (DWORD)saved.data.size());
    RegCloseKey(key);
}

std::string GetWinIniLine(const char *key)
{
    std::vector<char> line(8192);
    GetProfileStringA("windows", key, "", line.data(), (DWORD)line.size());
    return line.data();
}

SavedWinIniLine SaveWinIniLine(const char *key)
{
    SavedWinIniLine saved;
    saved.key = key;
    std::vector<char> line(8192);
    // A default no line can hold tells a missing key from an empty one.
    GetProfileStringA("windows", key, "\x01", line.data(), (DWORD)line.size());
    saved.existed = strcmp(line.data(), "\x01") != 0;
    if (saved.existed)
        saved.line = line.data();
    return saved;
}

void RestoreWinIniLine(const SavedWinIniLine &saved)
{
    WriteProfileStringA("windows", saved.key.c_str(), saved.existed ? saved.line.c_str() : nullptr);
}

bool PointShellFolder(HKEY root, const char *name, const std::string &folder)
{
    const char *base = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\";
    return SetRegString(root, (std::string(base) + "User Shell Folders").c_str(), name,
                        folder.c_str()) &&
           SetRegString(root, (std::string(base) + "Shell Folders").c_str(), name,
                        folder.c_str());
}
