#include "win32/main_window.h"

#include <shellapi.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int show)
{
    archive::win32::MainWindow window;
    if (!window.Create(show)) {
        return 1;
    }
    // archive-tool.exe FILE: "Open with", and a file dropped on the program.
    int count = 0;
    if (wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count)) {
        if (count >= 2 && arguments[1][0] != L'\0') {
            window.OpenFile(std::filesystem::path(arguments[1]));
        }
        LocalFree(arguments);
    }
    return window.Run();
}
