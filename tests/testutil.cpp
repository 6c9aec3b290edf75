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
    LONG result = RegDeleteTreeA(root, subkey);
    return result == ERROR_SUCCESS || result == ERROR_FILE_NOT_FOUND;
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


namespace {

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

// The sheet awaited by DriveSheet, run inside the sheet's own modal loop.
struct SheetWait {
    std::function<void(HWND)> body;
    DWORD start;
    bool seen;
};
SheetWait *PendingSheet = nullptr;

void CALLBACK SheetTimer(HWND, UINT, UINT_PTR id, DWORD)
{
    SheetWait *wait = PendingSheet;
    HWND sheet = wait ? FindThreadSheet() : nullptr;
    if (wait && !sheet && GetTickCount() - wait->start < 20000)
        return;
    KillTimer(nullptr, id);
    PendingSheet = nullptr;
    if (sheet) {
        wait->seen = true;
        wait->body(sheet);
        if (IsWindow(sheet))
            PostMessageA(sheet, WM_COMMAND, IDCANCEL, 0);
    } else if (HWND stray = FindThreadDialog()) {
        // Nothing came: whatever modal window is up must not keep the test waiting.
        PostMessageA(stray, WM_COMMAND, IDCANCEL, 0);
    }
}

} // namespace

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
    SheetWait wait = {body, GetTickCount(), false};
    PendingSheet = &wait;
    UINT_PTR timer = SetTimer(nullptr, 0, 30, SheetTimer);
    ShowPropertySheet(owner, startPage);
    KillTimer(nullptr, timer);
    PendingSheet = nullptr;
    return wait.seen;
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

std::string GetWinIniLine(const char *key, const char *missing)
{
    std::vector<char> line(8192);
    GetProfileStringA("windows", key, missing, line.data(), (DWORD)line.size());
    return line.data();
}

SavedWinIniLine SaveWinIniLine(const char *key)
{
    // A default no line can hold tells a missing key from an empty one.
    std::string line = GetWinIniLine(key, "\x01");
    return SavedWinIniLine{key, line, line != "\x01"};
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

// --- Running fixture programs; driving the list pages -----------------------
#include "store/store.h"
#include "tasks/tasks.h"

#include <gtest/gtest.h>

namespace {

struct NamedInWalk {
    DWORD id;
    bool named;
};

BOOL FindNamedProcess(DWORD processId, WORD, const char *name, LPARAM user)
{
    NamedInWalk *find = (NamedInWalk *)user;
    if (processId == find->id && name && *name)
        find->named = true;
    return TRUE;
}

BOOL CALLBACK CollectDialogItem(HWND child, LPARAM lParam)
{
    DialogSeen *seen = (DialogSeen *)lParam;
    std::string text = WindowText(child);
    seen->items[GetDlgCtrlID(child)] = text;
    char cls[32] = "";
    GetClassNameA(child, cls, sizeof(cls));
    if (!lstrcmpiA(cls, "Static") && !text.empty())
        seen->text += (seen->text.empty() ? "" : "\n") + text;
    return TRUE;
}

} // namespace

ChildPrograms::~ChildPrograms()
{
    for (HANDLE h : handles)
        EndChildProcess(h);
}

HANDLE ChildPrograms::Start(const std::string &path, DWORD *processId)
{
    DWORD id = 0;
    HANDLE h = StartChildProcess(path, "300", &id);
    if (!h)
        return nullptr;
    handles.push_back(h);
    if (processId)
        *processId = id;
    for (int attempt = 0; attempt < 200; ++attempt) {
        NamedInWalk find = {id, false};
        EnumerateProcesses(FindNamedProcess, (LPARAM)&find);
        if (find.named)
            return h;
        Sleep(50);
    }
    return nullptr;
}

std::vector<ListRow> ReadListRows(HWND list)
{
    std::vector<ListRow> rows((size_t)SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
    for (int row = 0; row < (int)rows.size(); ++row) {
        for (int column = 0; column < 3; ++column) {
            char text[512];
            GetListCellText(list, row, column, text, sizeof(text));
            rows[row].cells[column] = text;
        }
        LVITEMA item = {};
        item.mask = LVIF_PARAM | LVIF_IMAGE;
        item.iItem = row;
        SendMessageA(list, LVM_GETITEMA, 0, (LPARAM)&item);
        rows[row].data = item.lParam;
        rows[row].image = item.iImage;
    }
    return rows;
}

int FindListRow(HWND list, const std::string &text, int column)
{
    std::vector<ListRow> rows = ReadListRows(list);
    for (size_t i = 0; i < rows.size(); ++i)
        if (!lstrcmpiA(rows[i].cells[column].c_str(), text.c_str()))
            return (int)i;
    return -1;
}

void SelectListRow(HWND list, int row)
{
    LVITEMA item = {};
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    item.state = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageA(list, LVM_SETITEMSTATE, (WPARAM)row, (LPARAM)&item);
}

void ClickButton(HWND dialog, int id)
{
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), (LPARAM)GetDlgItem(dialog, id));
}

void DoubleClickRow(HWND dialog, HWND list, int row)
{
    NMITEMACTIVATE activate = {};
    activate.hdr.hwndFrom = list;
    activate.hdr.idFrom = (UINT_PTR)GetDlgCtrlID(list);
    activate.hdr.code = NM_DBLCLK;
    activate.iItem = row;
    SendMessageA(dialog, WM_NOTIFY, activate.hdr.idFrom, (LPARAM)&activate);
}

DialogSeen DialogShownBy(int button, const std::function<void()> &action)
{
    std::vector<DialogSeen> seen = DialogsShownBy({button}, action);
    return seen.empty() ? DialogSeen() : seen[0];
}

bool DriveListPage(int startPage, const std::function<void(HWND, HWND, HWND)> &body)
{
    bool ran = false;
    DriveSheet(nullptr, startPage, [&](HWND sheet) {
        HWND page = SheetCurrentPage(sheet);
        if (!page)
            return;
        ran = true;
        // Both list pages keep their list as control 1000.
        body(sheet, page, GetDlgItem(page, 1000));
    });
    return ran;
}

std::string LoadedText(int id)
{
    char text[1024];
    LoadText(id, text, sizeof(text));
    return text;
}

// --- Startup entries, and the startup sources set aside for one test -------
#include "store/store.h"

StartupRow ReadStartupRow(int index)
{
    char title[TitleSize], path[PathSize], link[PathSize];
    GetEntryTitle(index, title);
    GetEntryPath(index, path);
    GetEntryLink(index, link);
    return StartupRow{title, path, link, GetEntrySource(index)};
}

int FindStartupRow(const std::string &title, const std::string &path)
{
    for (int i = 0; i < EntryCount; ++i) {
        StartupRow row = ReadStartupRow(i);
        if (row.title == title && lstrcmpiA(row.path.c_str(), path.c_str()) == 0)
            return i;
    }
    return -1;
}

StartupSandbox::StartupSandbox(const char *name)
    : scratch(MakeScratchDir(name)), disabled(TestDir() + "\\Disabled"),
      removed(TestDir() + "\\Removed"), run(SaveWinIniLine("run")), load(SaveWinIniLine("load"))
{
    for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER})
        for (const char *value : {"Startup", "Common Startup"})
            Folder("empty", root, value);
    WriteProfileStringA("windows", "run", nullptr);
    WriteProfileStringA("windows", "load", nullptr);
    DeleteRegTree(HKEY_LOCAL_MACHINE, DisabledKeyPath);
    RemoveTree(disabled);
    RemoveTree(removed);
    ClearEntries();
}

StartupSandbox::~StartupSandbox()
{
    ClearEntries();
    for (auto value = saved.rbegin(); value != saved.rend(); ++value)
        RestoreRegValue(*value);
    while (!values.empty())
        values.pop_back();
    RestoreWinIniLine(run);
    RestoreWinIniLine(load);
    DeleteRegTree(HKEY_LOCAL_MACHINE, DisabledKeyPath);
    RemoveTree(disabled);
    RemoveTree(removed);
    RemoveTree(scratch);
}

std::string StartupSandbox::Folder(const char *name, HKEY root, const char *value)
{
    std::string folder = scratch + "\\" + name;
    CreateDirectoryA(folder.c_str(), nullptr);
    const std::string explorer = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\";
    if (root) {
        // Wine writes User Shell Folders over Shell Folders whenever the
        // shell is asked for a folder, so both must agree.
        Set(root, explorer + "Shell Folders", value, folder.c_str());
        Set(root, explorer + "User Shell Folders", value, folder.c_str());
    }
    return folder;
}

bool StartupSandbox::Set(HKEY root, const std::string &key, const char *name, const char *data,
                         DWORD type)
{
    values.push_back(std::make_unique<ScopedRegValue>(root, key.c_str(), name, data, type));
    return values.back()->ok;
}

void ExpectIconPerRow(HWND list, HIMAGELIST expected)
{
    HIMAGELIST images = (HIMAGELIST)SendMessageA(list, LVM_GETIMAGELIST, LVSIL_SMALL, 0);
    EXPECT_EQ(expected, images);
    std::vector<ListRow> rows = ReadListRows(list);
    EXPECT_EQ((int)rows.size() + 1, ImageList_GetImageCount(images));
    for (size_t i = 0; i < rows.size(); ++i)
        EXPECT_EQ((int)i + 1, rows[i].image);
}

// --- A registry value set for one scope ------------------------------------
ScopedRegValue::ScopedRegValue(HKEY root, const char *subkey, const char *name, const char *text,
                               DWORD type)
    : saved(SaveRegValue(root, subkey, name))
{
    std::string key = subkey;
    for (size_t end = 0; end != std::string::npos;) {
        end = key.find('\\', end + 1);
        HKEY handle;
        if (RegOpenKeyExA(root, key.substr(0, end).c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS) {
            createdKey = key.substr(0, end);
            break;
        }
        RegCloseKey(handle);
    }
    HKEY handle;
    if (text) {
        ok = SetRegString(root, subkey, name, text, type);
    } else if (RegOpenKeyExA(root, subkey, 0, KEY_WRITE, &handle) == ERROR_SUCCESS) {
        RegDeleteValueA(handle, name);
        RegCloseKey(handle);
    }
}

ScopedRegValue::~ScopedRegValue()
{
    RestoreRegValue(saved);
    if (!createdKey.empty())
        DeleteRegTree(saved.root, createdKey.c_str());
}

// --- Cookie folders, Netscape values and the data file set aside -----------
const char ShellFoldersKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
const char UserShellFoldersKey[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";
const char NetscapeUsersKey[] = "SOFTWARE\\Netscape\\Netscape Navigator\\Users";
const char NetscapeAppKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Netscape.exe";

CookieSandbox::CookieSandbox(const char *name)
    : scratch(MakeScratchDir(name)), folder(scratch + "\\Cookies")
{
    CreateDirectoryA(folder.c_str(), nullptr);
    Set(HKEY_CURRENT_USER, ShellFoldersKey, "Cookies", folder.c_str());
    Set(HKEY_CURRENT_USER, UserShellFoldersKey, "Cookies", folder.c_str());
    Set(HKEY_LOCAL_MACHINE, NetscapeUsersKey, "CurrentUser", nullptr);
    Set(HKEY_LOCAL_MACHINE, NetscapeAppKey, "Path", nullptr);
    savedDataFile = ReadFileBytes(DataFilePath);
    DeleteFileA(DataFilePath);
}

CookieSandbox::~CookieSandbox()
{
    values.clear();
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, DataFilePath);
    DeleteFileA(DataFilePath);
    if (savedDataFile != "<missing>")
        WriteFileBytes(DataFilePath, savedDataFile);
    RemoveTree(scratch);
    ClearEntries();
}

std::string CookieSandbox::File(const std::string &relative, const std::string &bytes)
{
    std::string path = scratch + "\\" + relative;
    for (size_t slash = scratch.size() + 1; (slash = path.find('\\', slash)) != std::string::npos; ++slash)
        CreateDirectoryA(path.substr(0, slash).c_str(), nullptr);
    WriteFileBytes(path, bytes);
    return path;
}

void CookieSandbox::Set(HKEY root, const char *subkey, const char *name, const char *text)
{
    values.push_back(std::make_unique<ScopedRegValue>(root, subkey, name, text));
}

void CookieSandbox::SetNuts(const std::vector<std::string> &nuts)
{
    WritePrivateProfileStringA("Nuts", nullptr, nullptr, DataFilePath);
    for (size_t i = 0; i < nuts.size(); ++i)
        WritePrivateProfileStringA("Nuts", ("Nut" + std::to_string(i + 1)).c_str(), nuts[i].c_str(),
                                   DataFilePath);
    WritePrivateProfileStringA("Nuts", "count", std::to_string(nuts.size()).c_str(), DataFilePath);
}

std::string DataFileValue(const char *section, const char *key)
{
    char text[1024];
    GetPrivateProfileStringA(section, key, "<missing>", text, sizeof(text), DataFilePath);
    return text;
}

bool PathExists(const std::string &path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string EntryTitles()
{
    std::string titles;
    for (int i = 0; i < EntryCount; ++i) {
        char title[TitleSize];
        GetEntryTitle(i, title);
        titles += (i ? "|" : "") + std::string(title);
    }
    return titles;
}

// --- Busy files and paths longer than the "A" functions take ---------------
HANDLE HoldFileOpen(const std::string &path)
{
    HANDLE process = StartChildProcess(FixturePath("hold_file.exe"), path.c_str(), nullptr);
    for (int attempt = 0; process && attempt < 200; ++attempt) {
        HANDLE probe = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                   nullptr, OPEN_EXISTING, 0, nullptr);
        if (probe == INVALID_HANDLE_VALUE && GetLastError() == ERROR_SHARING_VIOLATION)
            return process;
        if (probe != INVALID_HANDLE_VALUE)
            CloseHandle(probe);
        if (WaitForSingleObject(process, 50) != WAIT_TIMEOUT)
            break;
    }
    EndChildProcess(process);
    return nullptr;
}

std::string MakeDeepFolder(const std::string &base)
{
    std::string folder = base;
    for (int i = 1; i <= 15; ++i) {
        char name[16];
        wsprintfA(name, "\\dir%05d", i);
        CreateDirectoryA((folder += name).c_str(), nullptr);
    }
    return folder;
}

std::wstring LongPathW(const std::string &path)
{
    std::wstring wide(path.size() + 1, L'\0');
    int n = MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, &wide[0], (int)wide.size());
    wide.resize(n > 0 ? (size_t)n - 1 : 0);
    // The "\\?\" form takes the path as it stands: ".." must go first.
    std::wstring full(wide.size() + MAX_PATH, L'\0');
    DWORD length = GetFullPathNameW(wide.c_str(), (DWORD)full.size(), &full[0], nullptr);
    full.resize(length < full.size() ? length : 0);
    return L"\\\\?\\" + full;
}

bool CopyFileToLongPath(const std::string &from, const std::string &to)
{
    return CopyFileW(LongPathW(from).c_str(), LongPathW(to).c_str(), FALSE) != 0;
}

// --- A run of modal questions answered in turn -------------------------------
#include <utility>

namespace {

struct QuestionRun {
    std::vector<int> buttons;
    std::function<void(HWND)> during;
    std::vector<DialogSeen> seen;
};
QuestionRun *ActiveQuestions = nullptr;
const char AnsweredMark[] = "SentroviaTestAnswered";

// A window is answered once: the mark goes with it.
void CALLBACK AnswerNextQuestion(HWND, UINT, UINT_PTR, DWORD)
{
    QuestionRun *run = ActiveQuestions;
    HWND dialog = run ? FindThreadDialog() : nullptr;
    if (!dialog || GetPropA(dialog, AnsweredMark))
        return;
    SetPropA(dialog, AnsweredMark, (HANDLE)1);
    size_t index = run->seen.size();
    run->seen.push_back(ReadDialogSeen(dialog));
    if (run->during)
        run->during(dialog);
    int button = index < run->buttons.size() ? run->buttons[index]
                 : GetDlgItem(dialog, IDYES) ? IDYES : IDCANCEL;
    PostMessageA(dialog, WM_COMMAND, (WPARAM)button, 0);
}

} // namespace

DialogSeen ReadDialogSeen(HWND dialog)
{
    DialogSeen seen;
    seen.shown = true;
    seen.caption = WindowText(dialog);
    EnumChildWindows(dialog, CollectDialogItem, (LPARAM)&seen);
    return seen;
}

std::vector<DialogSeen> DialogsShownBy(const std::vector<int> &buttons,
                                       const std::function<void()> &action,
                                       const std::function<void(HWND)> &during)
{
    QuestionRun run = {buttons, during, {}};
    QuestionRun *outer = std::exchange(ActiveQuestions, &run);
    UINT_PTR timer = SetTimer(nullptr, 0, 30, AnswerNextQuestion);
    action();
    KillTimer(nullptr, timer);
    ActiveQuestions = outer;
    return run.seen;
}

namespace {

std::string WindowsFolderFile(const char *name)
{
    char folder[MAX_PATH] = "";
    GetWindowsDirectoryA(folder, sizeof(folder));
    return std::string(folder) + "\\" + name;
}

// Puts bytes ("<missing>": no file) in place, whatever the file's attributes.
void PlaceFile(const std::string &path, const std::string &bytes)
{
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileA(path.c_str());
    if (bytes != "<missing>")
        WriteFileBytes(path, bytes);
}

} // namespace

RestartFiles::RestartFiles(bool withMarker, const char *iniBytes)
    : marker(WindowsFolderFile("wininit.exe")), ini(WindowsFolderFile("wininit.ini")),
      savedMarker(ReadFileBytes(marker)), savedIni(ReadFileBytes(ini))
{
    PlaceFile(marker, withMarker ? "MZ" : "<missing>");
    PlaceFile(ini, iniBytes ? iniBytes : "<missing>");
}

RestartFiles::~RestartFiles()
{
    PlaceFile(marker, savedMarker);
    PlaceFile(ini, savedIni);
}

// --- Loopback servers ---------------------------------------------------------
sockaddr_in ListenOnLoopback(SOCKET listener)
{
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int size = sizeof(address);
    bind(listener, (sockaddr *)&address, sizeof(address));
    listen(listener, 1);
    getsockname(listener, (sockaddr *)&address, &size);
    return address;
}
