#include "main_window/frm_main.h"
#include "platform/message_boxes_qt.h"
#include "serial_link/sax_comm.h"

#include <QAction>
#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("zelvic"));
    QApplication::setApplicationDisplayName(QStringLiteral("Lumo Brisk Terminal"));

    QtMessageBoxes messageBoxes;
    SaxComm comm;
    frmMain mainWindow(comm, messageBoxes);
    mainWindow.Load();

    // Until the deferred shutdown is in place, Exit and closing the window end the program.
    QObject::connect(&mainWindow, &frmMain::closeRequested, &app, &QApplication::quit);
    QObject::connect(mainWindow.menuItem(QStringLiteral("ExitMenu")), &QAction::triggered, &app,
        &QApplication::quit);

    mainWindow.show();
    return QApplication::exec();
}
