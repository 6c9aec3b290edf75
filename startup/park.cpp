// STUB: replaced by the parking work.
#include "startup/startup.h"

int SetAutorun(int on) { (void)on; return 0; }
