// STUB: replaced by the startup collection work.
#include "startup/startup.h"
#include "store/store.h"

int FolderWalkMode = 0;
int CollectStartupEntries() { if (EntryCount) ClearEntries(); return EntryCount; }
