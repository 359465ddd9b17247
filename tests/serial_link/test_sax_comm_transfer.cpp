#include "fakes/lrzsz_receiver.h"
#include "fakes/pty_pair.h"
#include "serial_link/frm_sax_comm.h"
#include "serial_link/sax_comm.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QSerialPort>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

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
    void completedTransfers_data();
    void completedTransfers();
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

void TestSaxCommTransfer::completedTransfers_data()
{
    QTest::addColumn<int>("option");
    QTest::addColumn<QStringList>("receiver"); // rz and rb take their own protocol only
    QTest::addColumn<bool>("commSpy");
    QTest::addColumn<QStringList>("kinds"); // the log switches on

    QTest::newRow("ZMODEM") << 3 << QStringList { "rz", "-b", "-y" } << true
                            << QStringList { "event", "input", "warning" };
    QTest::newRow("plain bytes") << 0 << QStringList { "dd", "of=server.ini", "bs=1", "count=38" }
                                 << true << QStringList { "output", "property" };
    QTest::newRow("YMODEM, every switch on but CommSpy off")
        << 2 << QStringList { "rb", "-b", "-y" } << false
        << QStringList { "event", "input", "output", "property", "warning" };
}

void TestSaxCommTransfer::completedTransfers()
{
    QFETCH(int, option);
    QFETCH(QStringList, receiver);
    QFETCH(bool, commSpy);
    QFETCH(QStringList, kinds);
    LrzszReceiver peer(receiver);
    QVERIFY(peer.isReady());
    SaxComm comm(com1At(peer.devicePath()));
    QFile::remove(comm.commSpyLogPath());
    comm.setCommSpy(commSpy);
    for (int i = 0; i < 5; ++i)
        comm.setLogSwitch(LogSwitch(i), kinds.contains(CommSpyLog::kindName(LogSwitch(i))));
    QCOMPARE(comm.setPortOpen(true), Failure {});
    comm.setStartupOption(option);
    comm.setFileToSend(m_files.filePath("missing.ini"));
    QVERIFY(comm.setTransfer(1));
    // Named as the upload names it, with a '\' before the name.
    comm.setFileToSend(m_files.path() + "\\server.ini");
    QSignalSpy finished(&comm, &SaxComm::transferFinished);

    QCOMPARE(comm.setTransfer(1), Failure {});
    frmSaxComm* window = comm.statusWindow();
    QVERIFY(window && window->isVisible());
    QVERIFY(!finished.isEmpty() || finished.wait(20000));
    QCOMPARE(finished.first().at(0).toBool(), true);
    const QString outcome = finished.first().at(1).toString();
    QVERIFY2(outcome.startsWith("Completed: 38 bytes in "), qPrintable(outcome));
    QCOMPARE(window->text("outcome"), outcome);
    QVERIFY(peer.waitForExit(5000));
    QCOMPARE(peer.received("server.ini"), kSettings);

    // What each switch puts in the log; hex dumps as in the hex and ASCII columns.
    const QMap<QString, QString> samples { { "event", "Transfer Completed: 38 bytes" },
        { "input", "2a 2a 18 42 30 31 30 30 30 30 30 30 32 33 62 65  **.B0100000023be" },
        { "output", "5b 53 79 73 74 65 6d 5d 0d 0a 44 48 43 50 3d 30  [System]..DHCP=0" },
        { "property", "transfer = 1" }, { "warning", "does not exist" } };
    QFile log(comm.commSpyLogPath());
    QCOMPARE(log.open(QIODevice::ReadOnly), commSpy);
    QMap<QString, QString> logged;
    const QString text = QString::fromUtf8(commSpy ? log.readAll() : "");
    for (const QString& line : text.split('\n', Qt::SkipEmptyParts))
        logged[line.mid(24, 9).trimmed()] += line.mid(33) + '\n';
    QCOMPARE(logged.keys(), commSpy ? kinds : QStringList());
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
    QCOMPARE(comm.setPortOpen(true), Failure {});
    comm.setFileToSend(m_files.filePath("server.ini"));
    QSignalSpy finished(&comm, &SaxComm::transferFinished);
    QCOMPARE(comm.setTransfer(1), Failure {});
    frmSaxComm* window = comm.statusWindow();
    QVERIFY(QTest::qWaitForWindowExposed(window));

    // A second command is turned down in the window and leaves the transfer alone.
    comm.setFileToSend(m_files.filePath("other.ini"));
    QCOMPARE(comm.setTransfer(1), Failure {});
    QVERIFY2(window->text("notice").contains("turned down"), qPrintable(window->text("notice")));
    QCOMPARE(window->text("file"), QStringLiteral("server.ini (38 bytes)"));
    QTest::qWait(100);
    QCOMPARE(peer.received().count("rz\r"), 1);
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
}

void TestSaxCommTransfer::refusedAtOnce_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<bool>("open");
    QTest::addColumn<int>("option");
    QTest::addColumn<int>("command");
    QTest::addColumn<QString>("description");

    QTest::newRow("missing file") << "missing.ini" << true << 3 << 1 << "does not exist";
    QTest::newRow("a folder") << "." << true << 3 << 1 << "is a folder";
    QTest::newRow("no file named") << "" << true << 3 << 1 << "No file to send";
    QTest::newRow("port closed") << "server.ini" << false << 3 << 1 << "Serial port COM1 is closed";
    QTest::newRow("unknown command") << "server.ini" << true << 3 << 2 << "command 2 is unknown";
    QTest::newRow("unknown protocol") << "server.ini" << true << 7 << 1 << "selects no transfer";
}

void TestSaxCommTransfer::refusedAtOnce()
{
    QFETCH(QString, file);
    QFETCH(bool, open);
    QFETCH(int, option);
    QFETCH(int, command);
    QFETCH(QString, description);
    Peer peer;
    SaxComm comm(com1At(peer.pty.endA()));
    QCOMPARE(comm.setPortOpen(open), Failure {});
    comm.setStartupOption(option);
    comm.setFileToSend(file.isEmpty() ? file : m_files.filePath(file));
    const Failure failure = comm.setTransfer(command);
    QVERIFY2(failure && failure->contains(description), qPrintable(failure.value_or("none")));
    // Nothing goes on the line, now or later.
    QTest::qWait(50);
    QVERIFY(peer.received().isEmpty());
}

QTEST_MAIN(TestSaxCommTransfer)
#include "test_sax_comm_transfer.moc"
