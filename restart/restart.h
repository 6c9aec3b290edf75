// Commands queued in WININIT.INI for the next restart.
#pragma once

int CheckRestartFile(int quiet);
