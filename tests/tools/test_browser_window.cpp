// The browser window on the real web engine, offscreen, loaded from its module as the terminal
// loads it, with pages from a small HTTP server on 127.0.0.1 and from a file.

#include "fakes/fake_message_boxes.h"
#include "platform/browser_module_posix.h"
#include "platform/twips.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>

constexpr int kPageTimeout = 30000;

QStringList items(const QWidget* window)
{
    const auto* box = window->findChild<QComboBox*>("cboAddress");
    QStringList list;
    for (int i = 0; i < box->count(); ++i)
        list.append(box->itemText(i));
    return list;
}

class TestBrowserWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void engineThatCannotStart();
    void historyAndTitles();
    void windowsAreIndependent();
    void resizeRule();
    void cleanupTestCase();

private:
    QWidget* openWindow(const QString& address);
    QString url(const char* path) const
    {
        return QString("http://127.0.0.1:%1%2").arg(m_server.serverPort()).arg(path);
    }

    FakeMessageBoxes m_boxes;
    PosixBrowserModule m_module { m_boxes, ZELVIC_BROWSER_MODULE };
    QTcpServer m_server;
    QHash<QByteArray, int> m_requests;
    QPointer<QWidget> m_first;
};

void TestBrowserWindow::initTestCase()
{
    // Pages /a and /b, never cached, so that every navigation reaches the server and is counted.
    QVERIFY(m_server.listen(QHostAddress::LocalHost));
    connect(&m_server, &QTcpServer::newConnection, this, [this] {
        QTcpSocket* socket = m_server.nextPendingConnection();
        connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
            if (!socket->canReadLine())
                return;
            disconnect(socket, &QTcpSocket::readyRead, socket, nullptr);
            const QByteArray path = socket->readLine().split(' ').value(1);
            ++m_requests[path];
            const QByteArray title = path == "/a" ? "Page A" : "Page B";
            const QByteArray body = "<html><head><title>" + title + "</title></head></html>";
            socket->write(
                "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nCache-Control: no-store\r\n"
                "Connection: close\r\nContent-Length: "
                + QByteArray::number(body.size()) + "\r\n\r\n" + body);
            socket->disconnectFromHost();
        });
    });
}

QWidget* TestBrowserWindow::openWindow(const QString& address)
{
    const QWidgetList before = QApplication::topLevelWidgets();
    const Failure failure = m_module.openWindow(address);
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (!failure && !before.contains(window) && window->objectName() == "frmBrowser")
            return window;
    }
    return nullptr;
}

void TestBrowserWindow::engineThatCannotStart()
{
    // Without its helper program the engine would end the process: the window says why instead.
    qputenv("QTWEBENGINEPROCESS_PATH", "/nonexistent/QtWebEngineProcess");
    QPointer<QWidget> window = openWindow(url("/a"));
    qunsetenv("QTWEBENGINEPROCESS_PATH");
    QVERIFY(window && window->isVisible());
    QCOMPARE(m_boxes.shown,
        QStringList { "This function requires Microsoft Internet Explorer v4.0 or "
                      "higher to be installed" });
    QCOMPARE(items(window), QStringList { url("/a") });
    window->close();
    m_boxes.shown.clear();
}

void TestBrowserWindow::historyAndTitles()
{
    m_first = openWindow(url("/a"));
    QVERIFY(m_first);
    auto* edit = m_first->findChild<QComboBox*>("cboAddress")->lineEdit();
    QTRY_COMPARE_WITH_TIMEOUT(m_first->windowTitle(), "Page A", kPageTimeout);
    QCOMPARE(items(m_first), QStringList { url("/a") });

    // An address typed and entered opens; the list gains it on top.
    edit->selectAll();
    QTest::keyClicks(edit, url("/b"));
    QTest::keyClick(edit, Qt::Key_Return);
    QTRY_COMPARE_WITH_TIMEOUT(m_first->windowTitle(), "Page B", kPageTimeout);
    QCOMPARE(items(m_first), QStringList({ url("/b"), url("/a") }));

    // Selecting the older entry navigates to it once; the list update that follows the page
    // does not navigate again. Entering an address already listed opens it once too.
    // The engine merges loads that follow each other closely, so the server cannot see a second
    // navigation: count the box's selections, each of which navigates.
    QSignalSpy selections(m_first->findChild<QComboBox*>("cboAddress"), &QComboBox::activated);
    QTest::keyClick(edit, Qt::Key_Down);
    QTRY_COMPARE_WITH_TIMEOUT(m_first->windowTitle(), "Page A", kPageTimeout);
    QCOMPARE(items(m_first), QStringList({ url("/a"), url("/b") }));
    edit->selectAll();
    QTest::keyClicks(edit, url("/b"));
    QTest::keyClick(edit, Qt::Key_Return);
    QTRY_COMPARE_WITH_TIMEOUT(m_first->windowTitle(), "Page B", kPageTimeout);
    QTest::qWait(500);
    QCOMPARE(selections.size(), 1);
    QCOMPARE(m_requests.value("/a"), 2);
    QCOMPARE(m_requests.value("/b"), 2);
    QCOMPARE(items(m_first), QStringList({ url("/b"), url("/a") }));

    m_first->findChild<QToolBar*>("tbToolBar")->findChild<QAction*>("Back")->trigger();
    QTRY_COMPARE_WITH_TIMEOUT(m_first->windowTitle(), "Page A", kPageTimeout);
}

void TestBrowserWindow::windowsAreIndependent()
{
    QTemporaryDir dir;
    QFile help(dir.filePath("help.htm"));
    QVERIFY(help.open(QIODevice::WriteOnly));
    help.write("<html><head><title>Terminal help</title></head></html>");
    help.close();
    const QString address = QUrl::fromLocalFile(help.fileName()).toString();
    QPointer<QWidget> second = openWindow(address);
    QVERIFY(second);
    QTRY_COMPARE_WITH_TIMEOUT(second->windowTitle(), "Terminal help", kPageTimeout);
    QCOMPARE(items(second), QStringList { address });
    QCOMPARE(m_first->windowTitle(), "Page A");
    QCOMPARE(items(m_first).size(), 2);
    second->close();
    QTRY_VERIFY(!second);
}

void TestBrowserWindow::resizeRule()
{
    QWidget* browser = m_first->findChild<QWidget*>("brwWebBrowser");
    const auto px = [this](int twips) { return twipsToPixels(twips, m_first->logicalDpiX()); };
    m_first->resize(px(9000), px(6000));
    QTRY_COMPARE(browser->geometry(),
        QRect(px(120), px(1320), m_first->width() - px(100), m_first->height() - px(1315)));
    // Too small for the rule: the browser keeps its last size.
    const QSize kept = browser->size();
    m_first->resize(px(90), px(1200));
    QTRY_COMPARE(m_first->width(), px(90));
    QCOMPARE(browser->size(), kept);
}

void TestBrowserWindow::cleanupTestCase()
{
    for (QWidget* window : QApplication::topLevelWidgets())
        window->close();
    // The windows delete themselves once closed; their pages must go before the engine does.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!m_first);
    QVERIFY(m_boxes.shown.isEmpty());
}

int main(int argc, char* argv[])
{
    if (!qEnvironmentVariableIsSet("QTWEBENGINE_CHROMIUM_FLAGS"))
        qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--disable-gpu");
    QApplication app(argc, argv);
    TestBrowserWindow test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_browser_window.moc"
