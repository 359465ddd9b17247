// The browser window on the real web engine, offscreen, loaded from its module as the terminal
// loads it, with pages from a small HTTP server on 127.0.0.1.

#include "fakes/fake_message_boxes.h"
#include "platform/browser_module_posix.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

class TestBrowserWindow : public QObject
{
    Q_OBJECT

public:
    // Before the application starts: the engine reads its flags once.
    static void initMain()
    {
        if (!qEnvironmentVariableIsSet("QTWEBENGINE_CHROMIUM_FLAGS"))
            qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--disable-gpu");
    }

private slots:
    void initTestCase();
    void engineThatCannotStart();
    void historyAndTitles();
    void cleanupTestCase();

private:
    QWidget* openWindow(const QString& address);

    FakeMessageBoxes m_boxes;
    PosixBrowserModule m_module { m_boxes, ZELVIC_BROWSER_MODULE };
    QTcpServer m_server;
    QString m_base; // the server's address
    QHash<QByteArray, int> m_requests;
    QPointer<QWidget> m_first;
};

void TestBrowserWindow::initTestCase()
{
    // Pages /a and /b, never cached, so that every navigation reaches the server and is counted.
    QVERIFY(m_server.listen(QHostAddress::LocalHost));
    m_base = QString("http://127.0.0.1:%1").arg(m_server.serverPort());
    connect(&m_server, &QTcpServer::newConnection, this, [this] {
        QTcpSocket* socket = m_server.nextPendingConnection();
        connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
            if (!socket->canReadLine())
                return;
            disconnect(socket, &QTcpSocket::readyRead, socket, nullptr);
            const QByteArray path = socket->readLine().split(' ').value(1);
            ++m_requests[path];
            socket->write(
                "HTTP/1.0 200 OK\r\nContent-Type: text/html\r\nCache-Control: no-store\r\n\r\n"
                "<title>Page "
                + path.mid(1).toUpper() + "</title>");
            socket->disconnectFromHost();
        });
    });
}

QWidget* TestBrowserWindow::openWindow(const QString& address)
{
    // The one visible browser window: each test closes its own.
    if (m_module.openWindow(address))
        return nullptr;
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (window->objectName() == "frmBrowser" && window->isVisible())
            return window;
    }
    return nullptr;
}

void TestBrowserWindow::engineThatCannotStart()
{
    // Without its helper program the engine would end the process: the window says why instead.
    qputenv("QTWEBENGINEPROCESS_PATH", "/nonexistent/QtWebEngineProcess");
    QPointer<QWidget> window = openWindow(m_base + "/a");
    qunsetenv("QTWEBENGINEPROCESS_PATH");
    QVERIFY(window);
    QCOMPARE(m_boxes.shown.size(), 1);
    window->close();
    m_boxes.shown.clear();
}

void TestBrowserWindow::historyAndTitles()
{
    m_first = openWindow(m_base + "/a");
    QVERIFY(m_first);
    auto* box = m_first->findChild<QComboBox*>("cboAddress");
    auto* edit = box->lineEdit();
    QTRY_COMPARE_WITH_TIMEOUT(m_first->windowTitle(), "Page A", 30000);

    // An address typed and entered opens; the list gains it on top.
    edit->selectAll();
    QTest::keyClicks(edit, m_base + "/b");
    QTest::keyClick(edit, Qt::Key_Return);
    QTRY_COMPARE_WITH_TIMEOUT(m_first->windowTitle(), "Page B", 30000);
    QCOMPARE(box->count(), 2);
    QCOMPARE(box->itemText(0), m_base + "/b");

    // Selecting the older entry navigates to it once; the list update that follows the page
    // does not navigate again, as the server sees.
    QTest::keyClick(edit, Qt::Key_Down);
    QTRY_COMPARE_WITH_TIMEOUT(m_first->windowTitle(), "Page A", 30000);
    QCOMPARE(box->count(), 2);
    QCOMPARE(box->itemText(0), m_base + "/a");
    QTest::qWait(500);
    QCOMPARE(m_requests.value("/a"), 2);
    m_first->close();
}

void TestBrowserWindow::cleanupTestCase()
{
    // The windows delete themselves once closed; their pages must go before the engine does.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!m_first);
    QVERIFY(m_boxes.shown.isEmpty());
}

QTEST_MAIN(TestBrowserWindow)
#include "test_browser_window.moc"
