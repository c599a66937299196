// The one application object; the framework's entry point starts it.
#include "app/InstallerApp.h"

CInstallerApp theApp;
