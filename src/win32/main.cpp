#include "win32/main_window.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int show)
{
    archive::win32::MainWindow window;
    if (!window.Create(show)) {
        return 1;
    }
    return window.Run();
}
