#include "serial_link/sax_comm.h"
#include "testkit/lrzsz_receiver.h"
#include "testkit/pty_pair.h"
#include "windows/frm_sax_comm.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QSerialPort>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

// The serial control's transfer command, its status window and its CommSpy log.

namespace {

const QByteArray kCancel = QByteArray(8, '\x18') + QByteArray(10, '\b');
const QByteArray kSettings = "[System]\r\nDHCP=0\r\nIP0=C0A8\r\nIP1=64C8\r\n";

QProcessEnvironment com1At(const QString& device)
{
    QProcessEnvironment environment;
    environment.insert("ZELVIC_COM1", device);
    return environment;
}

/// The far end of a pseudo-terminal pair, read by the test.
struct Peer
{
    Peer() { port.open(QIODevice::ReadWrite); }
    /// Everything that has arrived so far.
    QByteArray received() { return arrived += port.readAll(); }
    /// Everything the terminal wrote until now and in the events already queued: a marker
    /// written on the terminal's port after them has come through.
    QByteArray receivedSoFar(QSerialPort& terminal)
    {
        QTimer::singleShot(0, [&terminal] { terminal.write("\x7f"); });
        if (!QTest::qWaitFor([&] { return received().endsWith('\x7f'); }))
            return "no marker";
        return arrived.chopped(1);
    }

    PtyPair pty;
    QSerialPort port { pty.endB() };
    QByteArray arrived;
};

} // namespace

class TestSaxCommTransfer : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void completedTransfer();
    void runningTransfer();
    void refusedAtOnce_data();
    void refusedAtOnce();

private:
    QTemporaryDir m_files; // the file sent and the CommSpy log
};

void TestSaxCommTransfer::initTestCase()
{
    // The CommSpy log goes to the user's state folder: here, a folder of the test's own.
    qputenv("XDG_DATA_HOME", m_files.path().toUtf8());
    QFile file(m_files.filePath("server.ini"));
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(kSettings) == kSettings.size());
}

void TestSaxCommTransfer::completedTransfer()
{
    // Every log switch but one on.
    const QStringList kinds { "event", "input", "output", "warning" };
    LrzszReceiver peer({ "rz", "-b", "-y" });
    QVERIFY(peer.isReady());
    SaxComm comm(com1At(peer.devicePath()));
    QFile::remove(comm.commSpyLogPath());
    comm.setCommSpy(true);
    for (int i = 0; i < 5; ++i)
        comm.setLogSwitch(LogSwitch(i), kinds.contains(CommSpyLog::kindName(LogSwitch(i))));
    QCOMPARE(comm.setPortOpen(true), Result<> {});
    comm.setStartupOption(3);
    comm.setFileToSend(m_files.filePath("missing.ini"));
    QVERIFY(!comm.setTransfer(1).ok());
    // Named as the upload names it, with a '\' before the name.
    comm.setFileToSend(m_files.path() + "\\server.ini");
    QSignalSpy finished(&comm, &SaxComm::transferFinished);

    frmSaxComm statusWindow(comm.transfer());
    frmSaxComm* window = &statusWindow;
    QCOMPARE(comm.setTransfer(1), Result<> {});
    QVERIFY(window->isVisible());
    QVERIFY(!finished.isEmpty() || finished.wait(20000));
    const QString outcome = finished.first().at(1).toString();
    QVERIFY2(outcome.startsWith("Completed: 38 bytes in "), qPrintable(outcome));
    QCOMPARE(window->text("outcome"), outcome);
    QVERIFY(peer.waitForExit(5000));
    QCOMPARE(peer.received("server.ini"), kSettings);

    // What each switch puts in the log; hex dumps as in the hex and ASCII columns.
    const QMap<QString, QString> samples { { "event", "Transfer Completed: 38 bytes" },
        { "input", "2a 2a 18 42 30 31 30 30 30 30 30 30 32 33 62 65  **.B0100000023be" },
        { "output", "5b 53 79 73 74 65 6d 5d 0d 0a 44 48 43 50 3d 30  [System]..DHCP=0" },
        { "warning", "does not exist" } };
    QFile log(comm.commSpyLogPath());
    QVERIFY(log.open(QIODevice::ReadOnly));
    QMap<QString, QString> logged;
    for (const QString& line : QString::fromUtf8(log.readAll()).split('\n', Qt::SkipEmptyParts))
        logged[line.mid(24, 9).trimmed()] += line.mid(33) + '\n';
    QCOMPARE(logged.keys(), kinds);
    for (const QString& kind : logged.keys())
        QVERIFY2(logged[kind].contains(samples[kind]), qPrintable(logged[kind]));
}

void TestSaxCommTransfer::runningTransfer()
{
    // The status window leaves the keyboard with the window the user works in.
    QWidget main;
    auto* edit = new QLineEdit(&main);
    main.show();
    QApplication::setActiveWindow(&main);
    QVERIFY(QTest::qWaitForWindowActive(&main));
    edit->setFocus();
    Peer peer;
    SaxComm comm(com1At(peer.pty.endA()));
    QFile::remove(comm.commSpyLogPath());
    for (int i = 0; i < 5; ++i)
        comm.setLogSwitch(LogSwitch(i), true);
    QCOMPARE(comm.setPortOpen(true), Result<> {});
    comm.setFileToSend(m_files.filePath("server.ini"));
    QSignalSpy finished(&comm, &SaxComm::transferFinished);
    frmSaxComm statusWindow(comm.transfer());
    frmSaxComm* window = &statusWindow;
    QCOMPARE(comm.setTransfer(1), Result<> {});
    QVERIFY(QTest::qWaitForWindowExposed(window));

    // A second command is turned down in the window and leaves the transfer alone.
    comm.setFileToSend(m_files.filePath("other.ini"));
    QCOMPARE(comm.setTransfer(1), Result<> {});
    QVERIFY2(window->text("notice").contains("turned down"), qPrintable(window->text("notice")));
    QCOMPARE(peer.receivedSoFar(comm.port()).count("rz\r"), 1);
    QCOMPARE(QApplication::focusWidget(), edit);

    auto* cancel = window->findChild<QPushButton*>("cmdCancel");
    cancel->click();
    QCOMPARE(finished.size(), 1);
    QCOMPARE(finished.first().at(1).toString(), QStringLiteral("Failed: cancelled by user"));
    QTRY_VERIFY(peer.received().endsWith(kCancel));
    QVERIFY(comm.portOpen());
    // Close now closes the window.
    cancel->click();
    QVERIFY(!window->isVisible());
    // Every log switch on but CommSpy off: nothing is logged.
    QVERIFY(!QFile::exists(comm.commSpyLogPath()));
}

void TestSaxCommTransfer::refusedAtOnce_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("option");
    QTest::addColumn<QString>("description");

    QTest::newRow("a folder") << "." << 3 << "is a folder";
    QTest::newRow("no file named") << "" << 3 << "No file to send";
    QTest::newRow("unknown protocol") << "server.ini" << 7 << "selects no transfer";
}

void TestSaxCommTransfer::refusedAtOnce()
{
    QFETCH(QString, file);
    QFETCH(int, option);
    QFETCH(QString, description);
    Peer peer;
    SaxComm comm(com1At(peer.pty.endA()));
    QCOMPARE(comm.setPortOpen(true), Result<> {});
    comm.setStartupOption(option);
    comm.setFileToSend(file.isEmpty() ? file : m_files.filePath(file));
    const Result<> started = comm.setTransfer(1);
    QVERIFY2(!started.ok() && started.error().contains(description),
        qPrintable(started.ok() ? "none" : started.error()));
    // Nothing goes on the line, now or in the events it queued.
    QCOMPARE(peer.receivedSoFar(comm.port()), QByteArray());
}

QTEST_MAIN(TestSaxCommTransfer)
#include "test_sax_comm_transfer.moc"
