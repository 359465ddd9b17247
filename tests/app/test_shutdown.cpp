#include "app/shutdown.h"
#include "fakes/fake_message_boxes.h"
#include "serial_link/sax_comm.h"
#include "testkit/pty_pair.h"
#include "windows/frm_main.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTest>
#include <QTimer>

#include <csignal>
#include <cstdio>

// The shutdown ends the process, so every case runs in a child: this program started again with
// "--child <how>". The child makes its close requests and says what it finds when Timer1 ticks
// and when the port closes; then the shutdown ends it.

namespace {

QElapsedTimer sinceRequest; // since the first close request
QElapsedTimer sinceAgain; // since the second

int runChild(int argc, char** argv)
{
    QApplication app(argc, argv);
    const QString how = argv[2];
    SaxComm comm;
    FakeMessageBoxes boxes;
    frmMain window(comm, boxes);
    // Connected before the shutdown, so they run first.
    QObject::connect(window.timer(), &QTimer::timeout, [&] {
        // About one second after the first request, which the second did not put off; the upper
        // bound only allows for a busy machine.
        const qint64 waited = sinceRequest.elapsed();
        const bool onTime = waited >= 900 && waited <= 3000 && sinceAgain.elapsed() < 900;
        const bool busy = window.isVisible() && window.cursor().shape() == Qt::WaitCursor;
        std::printf("tick after %s ms, busy %d\n",
            onTime ? "about 1000" : qPrintable(QString::number(waited)), busy);
    });
    QObject::connect(&comm, &SaxComm::transferFinished,
        [](bool, const QString& outcome) { std::puts(qPrintable(outcome)); });
    QObject::connect(&comm.port(), &QIODevice::aboutToClose, [] { std::puts("port closed"); });
    Shutdown shutdown(window, comm);
    shutdown.catchTerminationRequests();
    window.Load();
    window.show();
    // A transfer runs when the shutdown begins.
    comm.setFileToSend(QCoreApplication::applicationFilePath());
    comm.setTransfer(1);
    QTimer::singleShot(0, [&] {
        sinceRequest.start();
        if (how == "SIGTERM")
            std::raise(SIGTERM);
        else
            window.close();
    });
    // Half a second later, a second request that must change nothing.
    QTimer::singleShot(500, [&] {
        sinceAgain.start();
        window.close();
    });
    return QApplication::exec();
}

} // namespace

class TestShutdown : public QObject
{
    Q_OBJECT

private slots:
    void endsOneSecondAfterTheFirstRequest_data();
    void endsOneSecondAfterTheFirstRequest();
};

void TestShutdown::endsOneSecondAfterTheFirstRequest_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("close box") << "close";
    QTest::newRow("SIGTERM") << "SIGTERM";
}

void TestShutdown::endsOneSecondAfterTheFirstRequest()
{
    QFETCH(QString, how);
    PtyPair pty;
    qputenv("ZELVIC_COM1", pty.endA().toLocal8Bit());
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(), { "--child", how });
    QVERIFY(child.waitForFinished(10000));
    QVERIFY(child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0);
    QCOMPARE(QString(child.readAllStandardOutput()),
        "tick after about 1000 ms, busy 1\nFailed: cancelled by shutdown\nport closed\n");
}

int main(int argc, char** argv)
{
    if (argc == 3 && qstrcmp(argv[1], "--child") == 0)
        return runChild(argc, argv);
    QCoreApplication app(argc, argv);
    TestShutdown test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_shutdown.moc"
