// Every test program starts like the program itself: its own module carries
// the resources, COM and the common controls are initialised, and the
// program's texts are loaded.
#include "app/app.h"
#include "resource.h"
#include "store/store.h"

#include <gtest/gtest.h>
#include <objbase.h>

int main(int argc, char **argv)
{
    testing::InitGoogleTest(&argc, argv);
    AppInstance = GetModuleHandleA(nullptr);
    LoadText(IDS_APPCLASS, AppClass, sizeof(AppClass));
    LoadText(IDS_APPTITLE, AppTitle, sizeof(AppTitle));
    CoInitialize(nullptr);
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_WIN95_CLASSES | ICC_TAB_CLASSES};
    InitCommonControlsEx(&controls);
    CreateLinkFonts();
    char dataFile[TextSize];
    LocateDataFile(dataFile);
    int result = RUN_ALL_TESTS();
    DeleteLinkFonts();
    CoUninitialize();
    return result;
}
