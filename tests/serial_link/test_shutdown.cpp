#include "fakes/fake_message_boxes.h"
#include "fakes/pty_pair.h"
#include "main_window/frm_main.h"
#include "serial_link/sax_comm.h"
#include "serial_link/shutdown.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QMetaMethod>
#include <QProcess>
#include <QSocketNotifier>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <chrono>
#include <csignal>
#include <cstdio>

#include <unistd.h>

// The shutdown ends the process, so every case runs in a child: this program started again with
// "--child <how>". The child says what it did and, when Timer1 ticks, what is on screen; then the
// shutdown ends it.

namespace {

qint64 nowMs()
{
    // CLOCK_MONOTONIC, shared by the test and its child.
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

void say(const QString& key, const QString& value)
{
    std::printf("%s %s\n", qPrintable(key), qPrintable(value));
    std::fflush(stdout);
}

void request(const QString& how, frmMain& window)
{
    if (how == "close") {
        window.close();
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
    const QString how = QString::fromLatin1(argv[2]);
    SaxComm comm;
    FakeMessageBoxes boxes;
    frmMain window(comm, boxes);
    // Connected before the shutdown, so it runs first.
    QObject::connect(window.timer(), &QTimer::timeout, [&] {
        QStringList waits;
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (w->objectName() == "frmWait")
                waits << QString("%1,%2,%3")
                             .arg(w->isVisible())
                             .arg(w->parentWidget() != nullptr)
                             .arg(w->findChild<QLabel*>("Label1")->text());
        }
        say("tick", QString::number(nowMs()));
        say("waits", waits.join('|'));
        say("main", QString("%1 %2").arg(window.isVisible()).arg(window.cursor().shape()));
        say("transfer", QString::number(comm.transferRunning()));
    });
    Shutdown shutdown(window, comm);
    shutdown.catchTerminationRequests();
    window.Load();
    window.show();
    if (how == "transfer") {
        comm.setCommSpy(true);
        comm.setLogSwitch(LogSwitch::Events, true);
        comm.setFileToSend(QCoreApplication::applicationFilePath());
        say("started", comm.setTransfer(1).value_or("yes"));
        say("log", comm.commSpyLogPath());
    }
    say("ready", QString::number(comm.portOpen()));

    // The test says "go" once it has looked at the running child.
    QSocketNotifier go(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&go, &QSocketNotifier::activated, [&] {
        go.setEnabled(false);
        say("request", QString::number(nowMs()));
        request(how, window);
        if (how == "twice")
            QTimer::singleShot(500, [&] {
                say("again", QString::number(nowMs()));
                request("close", window);
            });
    });
    return QApplication::exec();
}

// QSerialPort's lock file for the device, in whichever lock folder it chose.
QString lockFileFor(const QString& device)
{
    const QString name = "LCK.." + QString(device).replace('/', '_');
    for (const char* folder : { "/var/lock", "/run/lock", "/tmp" }) {
        if (QFile::exists(QDir(folder).filePath(name)))
            return QDir(folder).filePath(name);
    }
    return {};
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
    QTest::addColumn<int>("signal");
    QTest::addColumn<bool>("portAvailable");

    QTest::newRow("Exit menu") << "menu" << 0 << true;
    QTest::newRow("close box") << "close" << 0 << true;
    QTest::newRow("second request within the second") << "twice" << 0 << true;
    QTest::newRow("SIGTERM") << "signal" << SIGTERM << true;
    QTest::newRow("SIGINT") << "signal" << SIGINT << true;
    QTest::newRow("SIGHUP") << "signal" << SIGHUP << true;
    QTest::newRow("session logout") << "logout" << 0 << true;
    QTest::newRow("port already closed") << "menu" << 0 << false;
    QTest::newRow("transfer running") << "transfer" << 0 << true;
}

void TestShutdown::endsOneSecondAfterTheFirstRequest()
{
    QFETCH(QString, how);
    QFETCH(int, signal);
    QFETCH(bool, portAvailable);
    PtyPair pty;
    QVERIFY(pty.isReady());
    QTemporaryDir data;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("ZELVIC_COM1", portAvailable ? pty.endA() : "/nonexistent/zelvic-port");
    environment.insert("XDG_DATA_HOME", data.path());
    QProcess child;
    child.setProcessEnvironment(environment);
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(), { "--child", how });

    QByteArray output;
    while (!output.contains("ready ") && child.waitForReadyRead(10000))
        output += child.readAllStandardOutput();
    const QString lock = lockFileFor(pty.endA());
    QCOMPARE(lock.isEmpty(), !portAvailable);
    const qint64 signalSent = nowMs();
    if (signal != 0)
        QCOMPARE(::kill(pid_t(child.processId()), signal), 0);
    else
        child.write("go\n");
    QVERIFY(child.waitForFinished(10000));
    QCOMPARE(child.exitStatus(), QProcess::NormalExit);
    QCOMPARE(child.exitCode(), 0);

    QMap<QString, QString> said;
    for (const QByteArray& line : (output + child.readAllStandardOutput()).split('\n'))
        said.insert(QString(line).section(' ', 0, 0), QString(line).section(' ', 1));
    QCOMPARE(said.value("ready"), QString::number(portAvailable));
    const qint64 requested = signal != 0 ? signalSent : said.value("request").toLongLong();
    const qint64 tick = said.value("tick").toLongLong();
    // About one second; the upper bound only allows for a busy machine.
    QVERIFY2(tick - requested >= 900 && tick - requested <= 3000,
        qPrintable(QString("Timer1 ticked %1 ms after the request").arg(tick - requested)));
    if (how == "twice")
        QVERIFY2(tick - said.value("again").toLongLong() < 900, "the second request put it off");
    QCOMPARE(said.value("waits"), "1,0,Closing down the serial port driver. Please wait....");
    QCOMPARE(said.value("main"), QString("1 %1").arg(Qt::WaitCursor));
    if (portAvailable)
        QVERIFY2(!QFile::exists(lock), "the port was left open");

    QCOMPARE(said.value("transfer"), QString::number(how == "transfer"));
    if (how == "transfer") {
        QCOMPARE(said.value("started"), "yes");
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
