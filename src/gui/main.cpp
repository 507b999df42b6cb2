#include "gui/main_window.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    QApplication::setApplicationName("archive-tool");
    archive::MainWindow window;
    window.show();
    return QApplication::exec();
}
