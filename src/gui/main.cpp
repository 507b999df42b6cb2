#include "gui/main_window.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    QApplication::setApplicationName("archive-tool");
    archive::MainWindow window;
    window.show();
    // Without a window manager (Xvfb, kiosks) nothing has the keyboard until a window is activated.
    window.activateWindow();
    window.raise();
    return QApplication::exec();
}
