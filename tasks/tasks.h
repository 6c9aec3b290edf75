// Running programs: the process walk on both Windows families and the Active
// Tasks page.
#pragma once

#include <windows.h>

typedef BOOL (*TaskCallback)(DWORD processId, WORD task16, const char *fileName, LPARAM user);

// Hands every process (and every 16-bit task) to callback; false when the
// system allowed no walk.
bool EnumerateProcesses(TaskCallback callback, LPARAM user);
BOOL AddTaskEntry(DWORD processId, WORD task16, const char *fileName, LPARAM user);
int CollectTaskEntries();
// When the process of each task entry started (0: unknown), recorded as the
// entry is added, indexed like the entry table.
extern ULONGLONG TaskStartTimes[];
// True while an open process is still the task an entry was made from: the
// same start time and the same program file under the entry's identifier.
bool IsListedTask(int entry, HANDLE process);

// The Active Tasks page (template 110).
INT_PTR CALLBACK ActiveTasksPage(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
int FillTaskList(HWND page);
// Called when the sheet is asked for again while the Active Tasks page was
// created last: refreshes the page's rows without leaving them out of step.
void RefreshTaskPage();

// --- Added by the tasks engineer: the 16-bit task walk, exposed for tests.
struct WowTaskContext { DWORD processId; TaskCallback callback; LPARAM user; BOOL stop; };
BOOL WINAPI OnWowTask(DWORD threadId, WORD module16, WORD task16, char *moduleName, char *fileName, LPARAM context);
