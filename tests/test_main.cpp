// Test entry point. Tests that run dialog code need the application object the framework expects;
// it is named after the test executable, as the installer's is after its own file.
#include "framework/CWinApp.h"

#include <commctrl.h>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    CWinApp app;
    INITCOMMONCONTROLSEX controls;
    controls.dwSize = sizeof controls;
    controls.dwICC = ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES;
    ::InitCommonControlsEx(&controls);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
