// The browser window on the real web engine, offscreen, loaded from its module as the terminal
// loads it, with pages from a small HTTP server on 127.0.0.1.

#include "fakes/fake_message_boxes.h"
#include "windows/browser_module_posix.h"

#include <QApplication>
#include <QComboBox>
#include <QHttpServer>
#include <QHttpServerResponse>
#include <QLineEdit>
#include <QTest>

class TestBrowserWindow : public QObject
{
    Q_OBJECT

public:
    // Before the application starts: the engine reads its flags once.
    static void initMain() { qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--disable-gpu"); }

private slots:
    void engineFailureThenHistory();

private:
    QWidget* openWindow(const QString& address);

    FakeMessageBoxes m_boxes;
    PosixBrowserModule m_module { m_boxes, ZELVIC_BROWSER_MODULE };
};

QWidget* TestBrowserWindow::openWindow(const QString& address)
{
    // The one visible browser window: each window is closed before the next opens.
    if (!m_module.openWindow(address).ok())
        return nullptr;
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (window->objectName() == "frmBrowser" && window->isVisible())
            return window;
    }
    return nullptr;
}

void TestBrowserWindow::engineFailureThenHistory()
{
    // Without its helper program the engine would end the process: the window says why instead.
    qputenv("QTWEBENGINEPROCESS_PATH", "/nonexistent/QtWebEngineProcess");
    QPointer<QWidget> failed = openWindow("http://127.0.0.1/a");
    qunsetenv("QTWEBENGINEPROCESS_PATH");
    QVERIFY(failed);
    QCOMPARE(m_boxes.shown.size(), 1);
    failed->close();

    // Pages /a and /b, each titled after its name.
    QHttpServer server;
    server.route("/<arg>", [](const QString& page) {
        return QHttpServerResponse(
            "text/html", "<title>Page " + page.toUpper().toUtf8() + "</title>");
    });
    const QString base = QString("http://127.0.0.1:%1").arg(server.listen(QHostAddress::LocalHost));
    QPointer<QWidget> window = openWindow(base + "/a");
    QVERIFY(window);
    auto* edit = window->findChild<QComboBox*>("cboAddress")->lineEdit();
    QTRY_COMPARE_WITH_TIMEOUT(window->windowTitle(), "Page A", 30000);

    // An address typed and entered opens; selecting the older entry then opens it. (That the list
    // update that follows the page does not navigate again is the browser model's test.)
    edit->selectAll();
    QTest::keyClicks(edit, base + "/b");
    QTest::keyClick(edit, Qt::Key_Return);
    QTRY_COMPARE_WITH_TIMEOUT(window->windowTitle(), "Page B", 30000);
    QTest::keyClick(edit, Qt::Key_Down);
    QTRY_COMPARE_WITH_TIMEOUT(window->windowTitle(), "Page A", 30000);
    window->close();

    // Empty IP boxes make "http://...": the list keeps the address as given, and the page says
    // it is none.
    QPointer<QWidget> invalid = openWindow("http://...");
    QVERIFY(invalid);
    QTRY_COMPARE_WITH_TIMEOUT(invalid->windowTitle(), "Cannot open http://...", 30000);
    const auto* list = invalid->findChild<QComboBox*>("cboAddress");
    QCOMPARE(list->count(), 1);
    QCOMPARE(list->itemText(0), "http://...");

    // The windows delete themselves once closed; their pages must go before the engine does.
    invalid->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!window && !failed && !invalid);
    QCOMPARE(m_boxes.shown.size(), 1);
}

QTEST_MAIN(TestBrowserWindow)
#include "test_browser_window.moc"
