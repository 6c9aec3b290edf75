// Filling controls from the string table, and the program's message boxes.
#include "app/app.h"
#include "resource.h"
#include "store/store.h"

void SetDlgItemTextId(HWND dialog, int textId, int controlId)
{
    char text[TextSize];
    if (LoadText(textId, text, sizeof(text)))
        SetDlgItemTextA(dialog, controlId, text);
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
