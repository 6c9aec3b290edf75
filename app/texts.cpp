// Filling controls from the string table, and the program's message boxes.
#include "app/app.h"
#include "resource.h"
#include "store/store.h"

#include <string.h>

void SetDlgItemTextId(HWND dialog, int textId, int controlId)
{
    char text[TextSize];
    if (LoadText(textId, text, sizeof(text)))
        SetDlgItemTextA(dialog, controlId, text);
}

int FillTextPlaceholders(char *buffer, size_t size, const char *text, const char *const *values,
                         int count)
{
    if (!buffer || size == 0)
        return 0;
    buffer[0] = '\0';
    int used = 0;
    for (const char *p = text; *p; ++p) {
        if (p[0] == '%' && p[1] == 's' && used < count) {
            AppendText(buffer, size, values[used++]);
            ++p;
        } else if (p[0] == '%' && p[1] == '%') {
            AppendText(buffer, size, "%");
            ++p;
        } else {
            char single[2] = {*p, '\0'};
            AppendText(buffer, size, single);
        }
    }
    return (int)strnlen(buffer, size);
}

int FillTextPlaceholder(char *buffer, size_t size, const char *text, const char *value)
{
    return FillTextPlaceholders(buffer, size, text, &value, 1);
}

int TextBox(HWND owner, int textId, const char *value, UINT style)
{
    char text[1024];
    char message[1536];
    LoadText(textId, text, sizeof(text));
    FillTextPlaceholder(message, sizeof(message), text, value);
    return AppMessageBox(owner, message, style);
}

int AppMessageBox(HWND owner, const char *text, UINT style)
{
    return MessageBoxExA(owner, text, AppTitle, style | MB_TOPMOST, LanguageId);
}

HWND MessageBoxOwner()
{
    return IsWindow(SheetWindow) ? SheetWindow : MainWindow;
}

int ErrorBox(int textId)
{
    char text[TextSize];
    LoadText(textId, text, sizeof(text));
    return AppMessageBox(MessageBoxOwner(), text, MB_ICONHAND);
}

int HelpBox(int textId)
{
    char text[1024];
    char caption[128];
    LoadText(textId, text, sizeof(text));
    LoadText(IDS_HELP_CAPTION, caption, sizeof(caption));
    return MessageBoxExA(MessageBoxOwner(), text, caption, MB_ICONQUESTION | MB_TOPMOST,
                         LanguageId);
}
