// Every user-visible text by its identifier; a registry value "LString<n>"
// replaces the string resource, so wording can change without a new build.
#include "store/store.h"

int LoadText(int id, char *buffer, int size)
{
    if (!buffer || size <= 0)
        return 0;
    buffer[0] = '\0';
    char name[32];
    FormatText(name, sizeof(name), "LString%d", id);
    char override[TextSize];
    if (RegReadString(HKEY_LOCAL_MACHINE, ProgramKeyPath, name, override) > 0) {
        int limit = size - 1 < TextSize - 1 ? size - 1 : TextSize - 1;
        return CopyTextPart(buffer, (size_t)limit + 1, override, (size_t)limit);
    }
    char work[1024];
    int limit = size < (int)sizeof(work) ? size : (int)sizeof(work);
    int length = LoadStringA(AppInstance, (UINT)id, work, limit);
    if (length <= 0)
        return 0;
    return CopyText(buffer, (size_t)size, work);
}
