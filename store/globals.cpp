// Process-wide identity shared by every layer.
#include "store/store.h"

HINSTANCE AppInstance = nullptr;
HWND MainWindow = nullptr;
char AppClass[SmallTextSize];
char AppTitle[SmallTextSize];
WORD LanguageId = 9;

const char RunKeyPath[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const char ProgramKeyPath[] = "Software\\Ostrel Studios\\Sentrovia";
const char DisabledKeyPath[] = "Software\\Ostrel Studios\\Sentrovia\\Disabled";
