// Commands queued in WININIT.INI for the next restart.
#pragma once

#include <windows.h>

// 1 when WININIT.INI holds commands (and the system runs them). Quiet: only
// the answer. Otherwise shows them in the Restart Commands dialog, or says
// that there are none.
int CheckRestartFile(int quiet);
// Dialog procedure of the Restart Commands dialog (template 130) about the
// file in SelectedProgramPath.
INT_PTR CALLBACK RestartCommandsDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
