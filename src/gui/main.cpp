#include "shell/frm_big.h"
#include "shell/memory_widgets.h"

#include <QApplication>
#include <QMainWindow>

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    archive::MemoryWidgets widgets;
    archive::FrmBig frm(widgets);
    frm.Form_Load();
    QMainWindow window;
    window.setWindowTitle(QString::fromLatin1(frm.Title().c_str()));
    window.resize(633, 487);
    window.show();
    return QApplication::exec();
}
