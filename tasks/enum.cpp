// The process walk. Both families' interfaces are looked up at run time, so
// that one executable starts on either: the Windows 95 family has no PSAPI,
// and Windows NT 4 has no Toolhelp.
#include "tasks/tasks.h"
#include "info/info.h"
#include "startup/startup.h"
#include "store/store.h"

#include <tlhelp32.h>
#include <string.h>

namespace {

typedef BOOL(WINAPI *EnumProcessesFunc)(DWORD *ids, DWORD bytes, DWORD *returned);
typedef BOOL(WINAPI *EnumProcessModulesFunc)(HANDLE process, HMODULE *modules, DWORD bytes,
                                             DWORD *needed);
typedef DWORD(WINAPI *GetModuleFileNameExFunc)(HANDLE process, HMODULE module, char *name,
                                               DWORD size);
typedef BOOL(WINAPI *WowTaskFunc)(DWORD threadId, WORD module16, WORD task16, char *moduleName,
                                  char *fileName, LPARAM context);
typedef INT(WINAPI *EnumTaskWowFunc)(DWORD processId, WowTaskFunc callback, LPARAM context);
typedef HANDLE(WINAPI *SnapshotFunc)(DWORD flags, DWORD processId);
typedef BOOL(WINAPI *ProcessWalkFunc)(HANDLE snapshot, PROCESSENTRY32 *entry);

const DWORD FirstIdBufferBytes = 1024;

// A process handle is an ordinary kernel handle: the file guard closes it
// (it accepts both a null and an invalid handle as "none").
using KernelHandle = FileHandle;

// The identifier buffer lives on the process heap; allocate() drops the
// previous block before taking a larger one.
struct HeapBlock {
    void *data = nullptr;
    HeapBlock() = default;
    HeapBlock(const HeapBlock &) = delete;
    HeapBlock &operator=(const HeapBlock &) = delete;
    ~HeapBlock() { release(); }
    void release()
    {
        if (data)
            HeapFree(GetProcessHeap(), 0, data);
        data = nullptr;
    }
    bool allocate(SIZE_T bytes)
    {
        release();
        data = HeapAlloc(GetProcessHeap(), 0, bytes);
        return data != nullptr;
    }
};

// True when the name ends in NTVDM.EXE: the process that hosts 16-bit tasks.
bool IsVdmHost(const char *name)
{
    static const char host[] = "NTVDM.EXE";
    size_t length = strlen(name);
    size_t hostLength = sizeof(host) - 1;
    return length >= hostLength && lstrcmpiA(name + length - hostLength, host) == 0;
}

// The first module of a process is its program file; empty when the process
// may not be opened or read (the idle and system processes, other users').
void ReadProcessFileName(DWORD processId, EnumProcessModulesFunc enumModules,
                         GetModuleFileNameExFunc moduleFileName, char *name, DWORD size)
{
    name[0] = '\0';
    KernelHandle process(OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, processId));
    if (!process.valid())
        return;
    HMODULE module = nullptr;
    DWORD needed = 0;
    if (!enumModules(process.handle, &module, sizeof(module), &needed))
        return;
    if (!moduleFileName(process.handle, module, name, size))
        name[0] = '\0';
    name[size - 1] = '\0';
}

// Fills the identifier buffer, doubling it while the system may have had more
// to say than it held. Returns the number of identifiers; -1 on failure.
int FetchProcessIds(EnumProcessesFunc enumProcesses, HeapBlock &ids)
{
    DWORD bytes = FirstIdBufferBytes;
    for (;;) {
        DWORD returned = 0;
        if (!ids.allocate(bytes) || !enumProcesses((DWORD *)ids.data, bytes, &returned))
            return -1;
        if (returned < bytes)
            return (int)(returned / sizeof(DWORD));
        // A count that fills the buffer exactly may have been cut short.
        if (bytes > 0x40000000)
            return -1;
        bytes *= 2;
    }
}

bool WalkNtProcesses(TaskCallback callback, LPARAM user)
{
    Library psapi("PSAPI.DLL");
    Library vdm("VDMDBG.DLL");
    if (!psapi.module || !vdm.module)
        return false;
    EnumProcessesFunc enumProcesses = (EnumProcessesFunc)(void *)psapi.proc("EnumProcesses");
    EnumProcessModulesFunc enumModules =
        (EnumProcessModulesFunc)(void *)psapi.proc("EnumProcessModules");
    GetModuleFileNameExFunc moduleFileName =
        (GetModuleFileNameExFunc)(void *)psapi.proc("GetModuleFileNameExA");
    EnumTaskWowFunc enumTasks = (EnumTaskWowFunc)(void *)vdm.proc("VDMEnumTaskWOWEx");
    if (!enumProcesses || !enumModules || !moduleFileName || !enumTasks)
        return false;

    HeapBlock block;
    int count = FetchProcessIds(enumProcesses, block);
    if (count < 0)
        return false;
    const DWORD *ids = (const DWORD *)block.data;
    for (int i = 0; i < count; ++i) {
        char name[PathSize];
        ReadProcessFileName(ids[i], enumModules, moduleFileName, name, sizeof(name));
        if (!callback(ids[i], 0, name, user))
            break;
        if (name[0] && IsVdmHost(name)) {
            WowTaskContext context = {ids[i], callback, user, FALSE};
            enumTasks(ids[i], OnWowTask, (LPARAM)&context);
            if (context.stop)
                break;
        }
    }
    return true;
}

bool WalkToolhelpProcesses(TaskCallback callback, LPARAM user)
{
    Library kernel("Kernel32.DLL");
    SnapshotFunc snapshotOf = (SnapshotFunc)(void *)kernel.proc("CreateToolhelp32Snapshot");
    ProcessWalkFunc first = (ProcessWalkFunc)(void *)kernel.proc("Process32First");
    ProcessWalkFunc next = (ProcessWalkFunc)(void *)kernel.proc("Process32Next");
    if (!snapshotOf || !first || !next)
        return false;
    KernelHandle snapshot(snapshotOf(TH32CS_SNAPPROCESS, 0));
    if (!snapshot.valid())
        return false;

    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof(entry);
    BOOL more = first(snapshot.handle, &entry);
    while (more) {
        entry.szExeFile[sizeof(entry.szExeFile) - 1] = '\0';
        if (!callback(entry.th32ProcessID, 0, entry.szExeFile, user))
            break;
        entry.dwSize = sizeof(entry);
        more = next(snapshot.handle, &entry);
    }
    return true;
}

} // namespace

// OnWowTask: hands one 16-bit task of a virtual DOS machine to the walk's callback, under the
// identifier of the process that hosts it.
BOOL WINAPI OnWowTask(DWORD threadId, WORD module16, WORD task16, char *moduleName,
                      char *fileName, LPARAM context)
{
    (void)threadId;
    (void)module16;
    (void)moduleName;
    WowTaskContext *walk = (WowTaskContext *)context;
    if (!walk || !walk->callback)
        return TRUE;
    if (walk->callback(walk->processId, task16, fileName ? fileName : "", walk->user))
        return FALSE;
    // TRUE ends the 16-bit walk; the flag tells the process walk to end too.
    walk->stop = TRUE;
    return TRUE;
}

// EnumerateProcesses: hands every process, and every 16-bit task, to a callback through the
// interface that the running system family offers.
bool EnumerateProcesses(TaskCallback callback, LPARAM user)
{
    if (!callback)
        return false;
    OSVERSIONINFOA version = {};
    version.dwOSVersionInfoSize = sizeof(version);
    if (!GetVersionExA(&version))
        return false;
    switch (version.dwPlatformId) {
    case VER_PLATFORM_WIN32_NT: return WalkNtProcesses(callback, user);
    case VER_PLATFORM_WIN32_WINDOWS: return WalkToolhelpProcesses(callback, user);
    default: return false;
    }
}

ULONGLONG TaskStartTimes[MaxEntries];

namespace {

typedef BOOL(WINAPI *ProcessTimesFunc)(HANDLE process, FILETIME *created, FILETIME *exited,
                                       FILETIME *kernel, FILETIME *user);

// When a process started, as the system counts it; 0 when it will not say.
// Looked up at run time like the walk's functions: the Windows 95 family
// keeps no such count.
ULONGLONG ProcessStartTime(HANDLE process)
{
    ProcessTimesFunc processTimes =
        (ProcessTimesFunc)(void *)GetProcAddress(GetModuleHandleA("KERNEL32.DLL"), "GetProcessTimes");
    FILETIME created, exited, kernel, user;
    if (!processTimes || !processTimes(process, &created, &exited, &kernel, &user))
        return 0;
    return ((ULONGLONG)created.dwHighDateTime << 32) | created.dwLowDateTime;
}

// A reported module name in the form stored paths have: the whole program
// file, in its long form, so that one program reported once by its short name
// and once by its long name compares equal.
void TaskProgramFile(const char *fileName, char *compared, size_t size)
{
    char program[PathSize];
    char unquoted[PathSize];
    ProgramFileFromModule(fileName, program, sizeof(program));
    StripQuotes(unquoted, sizeof(unquoted), program);
    ToLongPathName(compared, size, unquoted);
}

struct TaskMatch {
    DWORD processId;
    const char *path;
    bool found;
};

// Walk callback: stops at the process (or 16-bit task of it) that still runs
// the program file looked for.
BOOL MatchTask(DWORD processId, WORD task16, const char *fileName, LPARAM user)
{
    (void)task16;
    TaskMatch *match = (TaskMatch *)user;
    if (processId != match->processId || !fileName || !fileName[0])
        return TRUE;
    char compared[PathSize];
    TaskProgramFile(fileName, compared, sizeof(compared));
    match->found = lstrcmpiA(compared, match->path) == 0;
    return !match->found;
}

} // namespace

// AddTaskEntry: turns one process into an entry: one per program file, the first process met
// standing for all its instances.
BOOL AddTaskEntry(DWORD processId, WORD task16, const char *fileName, LPARAM user)
{
    (void)task16;
    (void)user;
    // A module name is a file name already: a folder such as MY.LIB is part
    // of it, so programs sharing such a folder keep their own entries.
    char program[PathSize];
    ProgramFileFromModule(fileName, program, sizeof(program));
    if (!program[0])
        return TRUE;

    char compared[PathSize];
    TaskProgramFile(fileName, compared, sizeof(compared));
    for (int i = 0; i < EntryCount; ++i) {
        char path[PathSize];
        GetEntryPath(i, path);
        if (lstrcmpiA(compared, path) == 0)
            return TRUE;
    }
    VersionInfo info;
    ReadVersionInfo(program, &info);
    int index = EntryCount;
    if (AddEntry(info.FileDescription, program, "", SourceTask, processId)) {
        KernelHandle process(OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, processId));
        TaskStartTimes[index] = process.valid() ? ProcessStartTime(process.handle) : 0;
    }
    return TRUE;
}

// IsListedTask: identifiers are reused quickly, so an open process counts as an entry's task
// only while it started when the entry's process did and still runs the entry's program file.
// The caller holds the process open, so its identifier cannot pass to another meanwhile.
bool IsListedTask(int entry, HANDLE process)
{
    if (entry < 0 || entry >= EntryCount || ProcessStartTime(process) != TaskStartTimes[entry])
        return false;
    char path[PathSize];
    GetEntryPath(entry, path);
    TaskMatch match = {GetEntryNumber(entry), path, false};
    EnumerateProcesses(MatchTask, (LPARAM)&match);
    return match.found;
}

// CollectTaskEntries: replaces the entry table with the running programs.
int CollectTaskEntries()
{
    if (EntryCount != 0)
        ClearEntries();
    EnumerateProcesses(AddTaskEntry, 0);
    return EntryCount;
}
