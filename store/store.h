// The store: process-wide identity, the entry table, the data file and the
// registry helpers, the text loader, and the small file and text functions.
// Nothing here opens a window.
#pragma once

#include <windows.h>
#include <stddef.h>

// ---------------------------------------------------------------------------
// Buffer sizes that act as limits users can observe.
enum : int {
    TitleSize = 128,       // an entry's Title
    PathSize = 260,        // an entry's Path and Link
    TextSize = 512,        // registry texts, profile lines, dialog subjects
    MaxEntries = 300,      // the entry table's limit
    SmallTextSize = 32,    // AppClass, AppTitle, short texts
};

// ---------------------------------------------------------------------------
// Process-wide identity, shared by every layer.
extern HINSTANCE AppInstance;        // module that carries the resources
extern HWND MainWindow;              // the hidden main window, or none
extern char AppClass[SmallTextSize]; // text 1
extern char AppTitle[SmallTextSize]; // text 2: captions, autorun value name
extern WORD LanguageId;              // 9 English, 7 German

// ---------------------------------------------------------------------------
// Text helpers: the one way text enters a fixed buffer.

// Copies src into dst (size bytes), cutting it to size - 1 characters; returns
// the length copied. A null src copies an empty text.
int CopyText(char *dst, size_t size, const char *src);
// Appends src to the text in dst, cutting at size - 1; returns the new length.
int AppendText(char *dst, size_t size, const char *src);
// Bounded printf into dst; the result is cut, never overflows; returns length.
int FormatText(char *dst, size_t size, const char *format, ...)
    __attribute__((format(printf, 3, 4)));
// Copies at most count characters of src (stopping at its end), cut to size.
int CopyTextPart(char *dst, size_t size, const char *src, size_t count);

// ---------------------------------------------------------------------------
// Guards: release on every path.
struct RegKey {
    HKEY key = nullptr;
    RegKey() = default;
    RegKey(const RegKey &) = delete;
    RegKey &operator=(const RegKey &) = delete;
    ~RegKey() { if (key) RegCloseKey(key); }
    HKEY *out() { return &key; }
    operator HKEY() const { return key; }
};

struct FindHandle {
    HANDLE handle = INVALID_HANDLE_VALUE;
    explicit FindHandle(HANDLE h) : handle(h) {}
    FindHandle(const FindHandle &) = delete;
    FindHandle &operator=(const FindHandle &) = delete;
    ~FindHandle() { if (handle != INVALID_HANDLE_VALUE) FindClose(handle); }
    bool valid() const { return handle != INVALID_HANDLE_VALUE; }
};

struct FileHandle {
    HANDLE handle = INVALID_HANDLE_VALUE;
    explicit FileHandle(HANDLE h) : handle(h) {}
    FileHandle(const FileHandle &) = delete;
    FileHandle &operator=(const FileHandle &) = delete;
    ~FileHandle() { if (handle != INVALID_HANDLE_VALUE && handle) CloseHandle(handle); }
    bool valid() const { return handle != INVALID_HANDLE_VALUE && handle != nullptr; }
};

struct Library {
    HMODULE module = nullptr;
    explicit Library(const char *name) : module(LoadLibraryA(name)) {}
    Library(const Library &) = delete;
    Library &operator=(const Library &) = delete;
    ~Library() { if (module) FreeLibrary(module); }
    FARPROC proc(const char *name) const { return module ? GetProcAddress(module, name) : nullptr; }
};

// A global memory block that is freed when the guard ends (unless released).
struct GlobalBlock {
    HGLOBAL block = nullptr;
    explicit GlobalBlock(HGLOBAL b) : block(b) {}
    GlobalBlock(const GlobalBlock &) = delete;
    GlobalBlock &operator=(const GlobalBlock &) = delete;
    ~GlobalBlock() { if (block) GlobalFree(block); }
    HGLOBAL release() { HGLOBAL b = block; block = nullptr; return b; }
};

// Locks a global block for the guard's life.
struct GlobalLocked {
    HGLOBAL block;
    void *data;
    explicit GlobalLocked(HGLOBAL b) : block(b), data(b ? GlobalLock(b) : nullptr) {}
    GlobalLocked(const GlobalLocked &) = delete;
    GlobalLocked &operator=(const GlobalLocked &) = delete;
    ~GlobalLocked() { if (data) GlobalUnlock(block); }
};

// Releases a COM interface.
template <typename T> struct ComRef {
    T *ptr = nullptr;
    ComRef() = default;
    ComRef(const ComRef &) = delete;
    ComRef &operator=(const ComRef &) = delete;
    ~ComRef() { if (ptr) ptr->Release(); }
    T **out() { return &ptr; }
    T *operator->() const { return ptr; }
};

// ---------------------------------------------------------------------------
// Entry table: the one list of the program.
extern int EntryCount;

// Appends an entry; 0 when the table is full. Quotes are stripped from path,
// short names of existing files become long. Over-long texts are cut.
int AddEntry(const char *title, const char *path, const char *link, DWORD source, DWORD number);
// AddEntry for a path that is its own long form already (a long folder and
// names that FindFirstFileA gave): the same entry, without the name look-up.
int AddFoundEntry(const char *title, const char *path, DWORD source);
int GetEntryTitle(int index, char *buffer);   // buffer >= 128 bytes
int GetEntryPath(int index, char *buffer);    // buffer >= 260 bytes
int GetEntryLink(int index, char *buffer);    // buffer >= 260 bytes
DWORD GetEntrySource(int index);
DWORD GetEntryNumber(int index);
void SetEntrySource(int index, DWORD source);
void ClearEntries();
// Beside its five fields an entry may carry where its producer found it: the
// item's own name in full (a registry value's name, a WIN.INI piece as it
// stood) and a kind number that the producer gives meaning to. AddEntry
// starts both empty; they go with ClearEntries.
enum : int { OriginNameSize = TextSize };
void SetEntryOrigin(int index, const char *name, DWORD kind);
// The kind; name (OriginNameSize bytes, may be null) gets the full name.
DWORD GetEntryOrigin(int index, char *name);
// Removes every double quote; result cut to size.
int StripQuotes(char *dst, size_t size, const char *src);
// The long form of an existing file's name, else the text unchanged (cut to size).
int ToLongPathName(char *dst, size_t size, const char *text);

// ---------------------------------------------------------------------------
// Settings store.
extern int Minutes, Start, Cookies, Sound, WinInit;  // option variables
extern int AutorunFlag;                              // own Run value exists
extern char DataFilePath[TextSize];                  // set by LocateDataFile
// Non-zero when the data file cannot be used at all: its path is too long
// for the profile functions, a folder has its name, it cannot be looked at,
// or (CreateDataFile) it cannot be created.
extern int DataFileUnusable;

// Fills buffer (>= 512 bytes) with the data file's path and keeps it in
// DataFilePath; returns its length when the file exists, else 0.
int LocateDataFile(char *buffer);
// Takes path as the data file (DataFilePath, DataFileUnusable); its length
// when a file is there, else 0.
int SelectDataFile(const char *path);
// The data file's path in a program folder (a root folder "C:" gives
// "C:\Sentro.dat"), cut to 512 bytes; 0 when text 4 cannot be loaded.
int DataFileInFolder(const char *folder, char *buffer);
// Writes the default options to a data file that does not exist yet; 1 when
// the file is on disk afterwards, else 0 and DataFileUnusable is set.
int CreateDataFile();
// Reads the five options and the autorun flag; a missing file or key gives
// the default. 0 when the file is there but cannot be read (another program
// holds it): the options in memory are kept as they are.
int LoadOptions();
// 1 when all five options were written, 0 when any write failed.
int SaveOptions();
// Non-zero once the options were read from the data file or written to it:
// only then may the options in memory go over what the file holds.
extern int OptionsFromFile;
// SaveOptions at exit and session end, when OptionsFromFile allows; 1 when written.
int KeepOptions();
// Length of the program's own autorun value (quoted or, as earlier versions
// wrote it, bare); 0 when it is missing or empty.
int ReadAutorunValue();
// A text as a key of the data file: what would end or break a profile line
// ("=", CR, LF, a leading "[" or ";", outer blanks) coded "%XX", ordinary
// texts unchanged; runKey makes "=" a ":" instead. Cut to size; the length.
int CodeProfileKey(const char *text, char *buffer, int size, int runKey);
// A command as a [Run] key (CodeProfileKey with runKey); buffer >= 516.
int MakeRunKey(const char *text, char *buffer);
// The [Run] key of entry `index`: its Path through MakeRunKey, or its Link
// when the Path is empty (a shortcut that cannot be resolved). The length;
// 0 when the entry has neither (buffer >= 516).
int MakeEntryRunKey(int index, char *buffer);
// 1 when the watch asks about entry `index` while [Run] does not approve
// it: every startup entry except a parked copy of unrecorded origin
// (source 0) and one without any key.
int IsWatchedEntry(int index);
int RegReadString(HKEY root, const char *subkey, const char *name, char *buffer);
int RegCreateKeyPath(HKEY root, const char *subkey);
int RegDeleteValueName(HKEY root, const char *subkey, const char *name);
int RegWriteString(HKEY root, const char *subkey, const char *name, const char *text);

// Registry paths the program shares between subsystems.
extern const char RunKeyPath[];        // Software\Microsoft\Windows\CurrentVersion\Run
extern const char ProgramKeyPath[];    // Software\Ostrel Studios\Sentrovia
extern const char DisabledKeyPath[];   // ...\Sentrovia\Disabled

// ---------------------------------------------------------------------------
// Texts: string resources with the registry override "LString%d".
int LoadText(int id, char *buffer, int size);

// ---------------------------------------------------------------------------
// File and text functions.
int FileExists(const char *path);
int ForceDeleteFile(const char *path);
int ContainsText(const char *text, const char *part);
// A text file of up to capacity - 1 bytes in a movable global block, every LF
// preceded by CR; none when it cannot be read or is empty. The caller frees it.
HGLOBAL ReadTextFile(const char *path, int capacity);
