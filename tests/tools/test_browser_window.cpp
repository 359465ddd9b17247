// The browser window on the real web engine, offscreen, with pages from a small HTTP server on
// 127.0.0.1 and from a file.

#include "fakes/fake_message_boxes.h"
#include "platform/browser_module_posix.h"
#include "platform/twips.h"

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QHash>
#include <QLineEdit>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>

namespace {

constexpr int kPageTimeout = 30000;

/// Answers GET /a and GET /b with a page each (never cached, so that every navigation reaches
/// the server) and counts the requests per path.
class PageServer : public QTcpServer
{
public:
    PageServer()
    {
        connect(this, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = nextPendingConnection())
                connect(socket, &QTcpSocket::readyRead, socket, [this, socket] { serve(socket); });
        });
    }
    QString url(const QString& path) const
    {
        return QString("http://127.0.0.1:%1%2").arg(serverPort()).arg(path);
    }
    QHash<QString, int> requests;

private:
    void serve(QTcpSocket* socket)
    {
        QByteArray request = socket->property("request").toByteArray() + socket->readAll();
        socket->setProperty("request", request);
        if (!request.contains("\r\n\r\n"))
            return;
        const QString path = QString::fromLatin1(request.split(' ').value(1));
        ++requests[path];
        const QByteArray title = path == "/a" ? "Page A" : path == "/b" ? "Page B" : "";
        const QByteArray body
            = "<html><head><title>" + title + "</title></head><body>" + title + "</body></html>";
        socket->write((title.isEmpty() ? "HTTP/1.1 404 Not Found\r\n" : "HTTP/1.1 200 OK\r\n")
            + QByteArray(
                "Content-Type: text/html\r\nCache-Control: no-store\r\nConnection: close\r\n")
            + "Content-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body);
        socket->disconnectFromHost();
    }
};

QStringList items(const QComboBox* box)
{
    QStringList list;
    for (int i = 0; i < box->count(); ++i)
        list.append(box->itemText(i));
    return list;
}

} // namespace

class TestBrowserWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void opensPagesAndKeepsTheirHistory();
    void secondWindowIsIndependent();
    void layout();

private:
    QWidget* openWindow(const QString& address);

    FakeMessageBoxes m_boxes;
    std::unique_ptr<PosixBrowserModule> m_module;
    PageServer m_server;
    QTemporaryDir m_dir;
    QPointer<QWidget> m_first;
};

void TestBrowserWindow::initTestCase()
{
    QVERIFY(m_server.listen(QHostAddress::LocalHost));
    m_module = std::make_unique<PosixBrowserModule>(m_boxes, ZELVIC_BROWSER_MODULE);
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

QWidget* TestBrowserWindow::openWindow(const QString& address)
{
    const QWidgetList before = QApplication::topLevelWidgets();
    const Failure failure = m_module->openWindow(address);
    if (failure)
        qWarning() << *failure;
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (!before.contains(window) && window->objectName() == "frmBrowser")
            return window;
    }
    return nullptr;
}

void TestBrowserWindow::opensPagesAndKeepsTheirHistory()
{
    m_first = openWindow(m_server.url("/a"));
    QVERIFY(m_first);
    QVERIFY(m_first->isVisible());
    auto* box = m_first->findChild<QComboBox*>("cboAddress");
    QTRY_COMPARE_WITH_TIMEOUT(m_first->windowTitle(), "Page A", kPageTimeout);
    QCOMPARE(items(box), QStringList { m_server.url("/a") });

    // Typing an address and pressing Enter opens it; the list gains it on top.
    box->lineEdit()->setFocus();
    box->lineEdit()->selectAll();
    QTest::keyClicks(box->lineEdit(), m_server.url("/b"));
    QTest::keyClick(box->lineEdit(), Qt::Key_Return);
    QTRY_COMPARE_WITH_TIMEOUT(m_first->windowTitle(), "Page B", kPageTimeout);
    QCOMPARE(items(box), QStringList({ m_server.url("/b"), m_server.url("/a") }));
    QCOMPARE(box->currentIndex(), 0);

    // Selecting the older entry navigates to it once: the list update that follows the page
    // does not navigate again.
    QCOMPARE(m_server.requests.value("/a"), 1);
    QTest::keyClick(box->lineEdit(), Qt::Key_Down);
    QTRY_COMPARE_WITH_TIMEOUT(m_first->windowTitle(), "Page A", kPageTimeout);
    QCOMPARE(items(box), QStringList({ m_server.url("/a"), m_server.url("/b") }));
    QCOMPARE(box->currentText(), m_server.url("/a"));

    // Enter on an address that is already in the list opens it once too.
    box->lineEdit()->selectAll();
    QTest::keyClicks(box->lineEdit(), m_server.url("/b"));
    QTest::keyClick(box->lineEdit(), Qt::Key_Return);
    QTRY_COMPARE_WITH_TIMEOUT(m_first->windowTitle(), "Page B", kPageTimeout);
    QTest::qWait(500);
    QCOMPARE(m_server.requests.value("/a"), 2);
    QCOMPARE(m_server.requests.value("/b"), 2);
    QCOMPARE(items(box), QStringList({ m_server.url("/b"), m_server.url("/a") }));

    // Back returns to the page before.
    m_first->findChild<QToolBar*>("tbToolBar")->findChild<QAction*>("Back")->trigger();
    QTRY_COMPARE_WITH_TIMEOUT(m_first->windowTitle(), "Page A", kPageTimeout);
}

void TestBrowserWindow::secondWindowIsIndependent()
{
    QVERIFY(m_first);
    QFile help(m_dir.filePath("help.htm"));
    QVERIFY(help.open(QIODevice::WriteOnly));
    help.write("<html><head><title>Terminal help</title></head><body>Help</body></html>");
    help.close();
    const QString address = QUrl::fromLocalFile(help.fileName()).toString();

    QPointer<QWidget> second = openWindow(address);
    QVERIFY(second);
    QTRY_COMPARE_WITH_TIMEOUT(second->windowTitle(), "Terminal help", kPageTimeout);
    QCOMPARE(items(second->findChild<QComboBox*>("cboAddress")), QStringList { address });
    QCOMPARE(m_first->windowTitle(), "Page A");
    QCOMPARE(items(m_first->findChild<QComboBox*>("cboAddress")).size(), 2);

    second->close();
    QTRY_VERIFY(!second);
    QVERIFY(m_first);
}

void TestBrowserWindow::layout()
{
    QVERIFY(m_first);
    QWidget* browser = m_first->findChild<QWidget*>("brwWebBrowser");
    auto* box = m_first->findChild<QComboBox*>("cboAddress");
    const auto px = [this](int twips) { return twipsToPixels(twips, m_first->logicalDpiX()); };
    m_first->resize(px(9000), px(6000));
    QTRY_COMPARE(browser->width(), m_first->width() - px(100));
    QCOMPARE(browser->pos(), QPoint(px(120), px(1320)));
    QCOMPARE(browser->height(), m_first->height() - px(1215) - px(100));
    QCOMPARE(box->width(), m_first->width() - px(100));
    QCOMPARE(box->pos(), QPoint(px(50), px(60) + px(255) + px(15)));

    // Too small for the rule: the controls keep their last sizes.
    const QSize kept = browser->size();
    m_first->resize(px(90), px(1200));
    QTRY_COMPARE(m_first->size(), QSize(px(90), px(1200)));
    QCOMPARE(browser->size(), kept);
}

int main(int argc, char* argv[])
{
    if (!qEnvironmentVariableIsSet("QTWEBENGINE_CHROMIUM_FLAGS"))
        qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--disable-gpu");
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    TestBrowserWindow test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_browser_window.moc"
