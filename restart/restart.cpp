// WININIT.INI commands. Detection and the dialog arrive with the restart work.
#include "restart/restart.h"

int CheckRestartFile(int quiet)
{
    (void)quiet;
    return 0;
}
