#include "main/application.h"
#include "main/commandline.h"
#include "main/errorreport.h"
#include "main/exception.h"
#include "main/win32shell.h"

#include <windows.h>

#include <objbase.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE /*previous*/, LPSTR /*commandLine*/, int /*show*/) {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    try {
        Win32Shell shell(instance);
        shell.createWindows();
        Application app(shell);
        shell.attach(&app);
        const std::vector<std::string> args = splitCommandLine(GetCommandLineA());
        app.run(args, &Win32Shell::readRegistryDataFolder, &Win32Shell::defaultDataFolder);
    } catch (const Exception& error) {
        // Everything of the run, windows included, is gone by now: the box has no owner.
        MessageBoxA(nullptr, composeErrorReport(error).c_str(), nullptr, MB_OK);
    }
    return 0;
}
