// Cutting copies and bounded formatting: every fixed buffer is filled here.
#include "store/store.h"

#include <stdarg.h>
#include <stdio.h>
#include <string.h>

int CopyText(char *dst, size_t size, const char *src)
{
    if (!dst || size == 0)
        return 0;
    return CopyTextPart(dst, size, src, (size_t)-1);
}

int CopyTextPart(char *dst, size_t size, const char *src, size_t count)
{
    if (!dst || size == 0)
        return 0;
    size_t n = 0;
    if (src) {
        while (n < count && n + 1 < size && src[n])
            ++n;
        memmove(dst, src, n);
    }
    dst[n] = '\0';
    return (int)n;
}

int AppendText(char *dst, size_t size, const char *src)
{
    if (!dst || size == 0)
        return 0;
    size_t used = strnlen(dst, size - 1);
    return (int)used + CopyText(dst + used, size - used, src);
}

int FormatText(char *dst, size_t size, const char *format, ...)
{
    if (!dst || size == 0)
        return 0;
    va_list args;
    va_start(args, format);
    int n = vsnprintf(dst, size, format, args);
    va_end(args);
    if (n < 0) {
        dst[0] = '\0';
        return 0;
    }
    // vsnprintf tells how long the whole text would have been; the buffer
    // holds what fitted.
    return (size_t)n >= size ? (int)(size - 1) : n;
}
