#include "fakes/fake_message_boxes.h"
#include "fakes/pty_pair.h"
#include "main_window/frm_main.h"
#include "serial_link/sax_comm.h"
#include "serial_link/shutdown.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QMetaMethod>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <csignal>
#include <cstdio>

// The shutdown ends the process, so every case runs in a child: this program started again with
// "--child <how>". The child makes its close requests, says what it did and, when Timer1
// ticks, what is on screen; then the shutdown ends it.

namespace {

// Since the first close request and since the second.
QElapsedTimer sinceRequest;
QElapsedTimer sinceAgain;

void say(const char* key, const QString& value)
{
    std::printf("%s %s\n", key, qPrintable(value));
    std::fflush(stdout);
}

void request(const QString& how, frmMain& window)
{
    if (how == "close") {
        window.close();
    } else if (how == "SIGTERM") {
        std::raise(SIGTERM);
    } else if (how == "logout") {
        // No session manager runs here: raise its request as the platform does. The shutdown
        // reads nothing from the request's argument.
        const QMetaMethod signal = QMetaMethod::fromSignal(&QGuiApplication::commitDataRequest);
        void* arguments[] = { nullptr, nullptr };
        QMetaObject::activate(qGuiApp, &QGuiApplication::staticMetaObject,
            signal.methodIndex() - QGuiApplication::staticMetaObject.methodOffset(), arguments);
    } else {
        window.menuItem("ExitMenu")->trigger();
    }
}

int runChild(int argc, char** argv)
{
    QApplication app(argc, argv);
    const QString how = argv[2];
    SaxComm comm;
    FakeMessageBoxes boxes;
    frmMain window(comm, boxes);
    // Connected before the shutdown, so it runs first.
    QObject::connect(window.timer(), &QTimer::timeout, [&] {
        say("tick", QString::number(sinceRequest.elapsed()));
        say("again", QString::number(sinceAgain.elapsed()));
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (widget->objectName() == "frmWait" && widget->isVisible() && !widget->parentWidget())
                say("wait", widget->findChild<QLabel*>("Label1")->text());
        }
        say("main", QString("%1 %2").arg(window.isVisible()).arg(window.cursor().shape()));
        say("transfer", QString::number(comm.transferRunning()));
    });
    QObject::connect(&comm.port(), &QIODevice::aboutToClose, [] { say("port", "closed"); });
    Shutdown shutdown(window, comm);
    shutdown.catchTerminationRequests();
    window.Load();
    window.show();
    if (how == "transfer") {
        comm.setCommSpy(true);
        comm.setLogSwitch(LogSwitch::Events, true);
        comm.setFileToSend(QCoreApplication::applicationFilePath());
        comm.setTransfer(1);
        say("log", comm.commSpyLogPath());
    }
    QTimer::singleShot(0, [&] {
        sinceRequest.start();
        request(how, window);
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

    QTest::newRow("Exit menu") << "menu";
    QTest::newRow("close box") << "close";
    QTest::newRow("SIGTERM") << "SIGTERM";
    QTest::newRow("session logout") << "logout";
    QTest::newRow("transfer running") << "transfer";
}

void TestShutdown::endsOneSecondAfterTheFirstRequest()
{
    QFETCH(QString, how);
    PtyPair pty;
    QTemporaryDir data;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("ZELVIC_COM1", pty.endA());
    environment.insert("XDG_DATA_HOME", data.path());
    QProcess child;
    child.setProcessEnvironment(environment);
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(), { "--child", how });
    QVERIFY(child.waitForFinished(10000));
    QCOMPARE(child.exitStatus(), QProcess::NormalExit);
    QCOMPARE(child.exitCode(), 0);

    QMap<QString, QString> said;
    for (const QByteArray& line : child.readAllStandardOutput().split('\n'))
        said.insert(QString(line).section(' ', 0, 0), QString(line).section(' ', 1));
    const qint64 waited = said.value("tick").toLongLong();
    // About one second; the upper bound only allows for a busy machine.
    QVERIFY2(
        waited >= 900 && waited <= 3000, qPrintable(QString("ticked after %1 ms").arg(waited)));
    QVERIFY2(said.value("again").toLongLong() < 900, "the second request put it off");
    QCOMPARE(said.value("wait"), "Closing down the serial port driver. Please wait....");
    QCOMPARE(said.value("main"), QString("1 %1").arg(Qt::WaitCursor));
    QCOMPARE(said.value("port"), "closed");
    QCOMPARE(said.value("transfer"), QString::number(how == "transfer"));
    if (how == "transfer") {
        QFile log(said.value("log"));
        QVERIFY(log.open(QIODevice::ReadOnly));
        QVERIFY2(log.readAll().contains("cancelled by shutdown"), qPrintable(log.fileName()));
    }
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
