// The watch cycle and the new-program alert.
#pragma once

#include <windows.h>

int WatchCycle();
