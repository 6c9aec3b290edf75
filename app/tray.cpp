// STUB: replaced by the tray work.
#include "app/app.h"

int UpdateTrayIcon(int action) { (void)action; return 1; }
void OnTrayNotify(UINT iconId, UINT mouseMessage) { (void)iconId; (void)mouseMessage; }
