// Times the browser commands from the menu item to the page's title in the new window's title
// bar: the first window starts the web engine (cold), the later ones find it running (warm).
// The pages are local: the help page from a file, and the server's home page from a server on
// 127.0.0.1 port 80 when the bench may listen there (it needs root).
//
//   zelvic_browser_bench WARM_WINDOWS

#include "app/browser_commands.h"
#include "platform/message_boxes.h"
#include "platform/working_directory_posix.h"
#include "serial_link/sax_comm.h"
#include "windows/browser_module_posix.h"
#include "windows/frm_main.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QLineEdit>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <algorithm>
#include <cstdio>

namespace {

/// A message box here means a failed measurement: it is recorded, not shown.
class RecordedBoxes final : public MessageBoxes
{
public:
    void showMessage(const QString& text) override { shown.append(text); }
    QStringList shown;
};

long residentKiB()
{
    QFile status("/proc/self/status");
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    }
    return 0;
}

// Triggers the menu item and returns the milliseconds until a new browser window shows the
// title; -1 after 60 s.
double timeCommand(QAction* item, const QString& title)
{
    const QWidgetList before = QApplication::topLevelWidgets();
    QElapsedTimer clock;
    clock.start();
    item->trigger();
    QWidget* window = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (!before.contains(w) && w->objectName() == QLatin1String("frmBrowser"))
            window = w;
    }
    if (!window)
        return -1;
    QEventLoop loop;
    QObject::connect(window, &QWidget::windowTitleChanged, &loop, [&](const QString& shown) {
        if (shown == title)
            loop.quit();
    });
    QTimer::singleShot(60000, &loop, [&] { loop.exit(1); });
    if (window->windowTitle() != title && loop.exec() != 0)
        return -1;
    return static_cast<double>(clock.nsecsElapsed()) / 1e6;
}

double median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    return values.isEmpty() ? 0 : values[values.size() / 2];
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    const int warmWindows = argc > 1 ? std::max(1, atoi(argv[1])) : 5;

    QTcpServer server;
    const bool serving = server.listen(QHostAddress::LocalHost, 80);
    QObject::connect(&server, &QTcpServer::newConnection, [&server] {
        QTcpSocket* socket = server.nextPendingConnection();
        QObject::connect(socket, &QTcpSocket::readyRead, socket, [socket] {
            const QByteArray body = "<html><head><title>Server home</title></head><body>"
                + QByteArray(4000, 'x') + "</body></html>";
            socket->write("HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nConnection: close\r\n"
                          "Content-Length: "
                + QByteArray::number(body.size()) + "\r\n\r\n" + body);
            socket->disconnectFromHost();
        });
    });

    RecordedBoxes boxes;
    PosixWorkingDirectory directory;
    if (!directory.setCurrent(QStringLiteral(ZELVIC_SOURCE_DIR)))
        return 1;
    SaxComm comm { QProcessEnvironment() };
    frmMain mainWindow(comm, boxes);
    for (const char* name : { "txtIpAddress", "txtIpAddress2", "txtIpAddress3", "txtIpAddress4" })
        mainWindow.findChild<QLineEdit*>(QLatin1String(name))->setEnabled(true);
    mainWindow.applySetting({ QStringLiteral("txtIpAddress"), QStringLiteral("127") });
    mainWindow.applySetting({ QStringLiteral("txtIpAddress2"), QStringLiteral("0") });
    mainWindow.applySetting({ QStringLiteral("txtIpAddress3"), QStringLiteral("0") });
    mainWindow.applySetting({ QStringLiteral("txtIpAddress4"), QStringLiteral("1") });
    PosixBrowserModule module(boxes, QStringLiteral(ZELVIC_BROWSER_MODULE));
    const BrowserCommands commands(mainWindow, directory, module, boxes);
    mainWindow.show();

    QAction* help = mainWindow.menu().HelpTopicsMenu;
    QAction* web = mainWindow.menu().mnuWebBrowser;
    const QString helpTitle = QStringLiteral("Lumo Brisk Terminal Help");
    const long before = residentKiB();
    const double cold = timeCommand(help, helpTitle);
    const long after = residentKiB();
    QList<double> warmHelp, warmWeb;
    for (int i = 0; i < warmWindows; ++i) {
        warmHelp.append(timeCommand(help, helpTitle));
        if (serving)
            warmWeb.append(timeCommand(web, QStringLiteral("Server home")));
    }
    std::printf("help page, first window (engine cold): %8.1f ms\n", cold);
    std::printf(
        "help page, next windows (median of %d): %7.1f ms\n", warmWindows, median(warmHelp));
    if (serving)
        std::printf(
            "server page, next windows (median of %d): %5.1f ms\n", warmWindows, median(warmWeb));
    else
        std::printf("server page: not measured (127.0.0.1 port 80 needs root)\n");
    std::printf("resident memory: %.1f MiB before the first window, %.1f MiB after it\n",
        before / 1024.0, after / 1024.0);
    for (const QString& message : boxes.shown)
        std::printf("message: %s\n", qPrintable(message));
    const bool failed
        = cold < 0 || warmHelp.contains(-1) || warmWeb.contains(-1) || !boxes.shown.isEmpty();
    return failed ? 1 : 0;
}
