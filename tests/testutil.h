// Shared helpers of the test programs: files, registry trees, and a watcher
// that answers the program's message boxes from a second thread.
#pragma once

#include <windows.h>

#include <atomic>
#include <string>
#include <thread>

// Folder of the running test program, without a final backslash.
std::string TestDir();
// Path of a fixture program built beside the tests.
std::string FixturePath(const char *name);
// A fresh empty folder under the test folder (removed first when present).
std::string MakeScratchDir(const char *name);
void RemoveTree(const std::string &folder);
bool WriteFileBytes(const std::string &path, const std::string &bytes);
std::string ReadFileBytes(const std::string &path);
// Deletes a registry key with all its subkeys; true when it is gone.
bool DeleteRegTree(HKEY root, const char *subkey);
bool SetRegString(HKEY root, const char *subkey, const char *name, const char *value,
                  DWORD type = REG_SZ);
// The value's text, or "<missing>".
std::string GetRegString(HKEY root, const char *subkey, const char *name);
bool RegValueExists(HKEY root, const char *subkey, const char *name);
// Dispatches this thread's messages for about ms milliseconds.
void PumpMessages(DWORD ms);

// Answers the next message box (or any dialog of class #32770 that is not a
// sheet) that appears in this process by pressing `button`, and remembers its
// caption and text. Start it before the call that shows the box.
class BoxAnswerer {
public:
    explicit BoxAnswerer(int button, DWORD timeoutMs = 20000);
    ~BoxAnswerer();
    // Waits for the watcher to finish; true when a box was answered.
    bool Wait();
    std::string caption;
    std::string text;
    int answered = 0;

private:
    void Run();
    int button_;
    DWORD timeout_;
    DWORD threadId_;
    std::atomic<bool> done_{false};
    std::thread thread_;
};
