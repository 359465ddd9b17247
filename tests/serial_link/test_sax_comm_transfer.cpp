#include "fakes/lrzsz_receiver.h"
#include "fakes/pty_pair.h"
#include "serial_link/frm_sax_comm.h"
#include "serial_link/sax_comm.h"
#include "serial_link/transfer/zmodem_frames.h"

#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSerialPort>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

// The serial control's transfer command, its status window and its CommSpy log.

using namespace zmodem;

namespace {

const QByteArray kCancel = QByteArray(8, '\x18') + QByteArray(10, '\b');
const QByteArray kSettings
    = "[System]\r\nDHCP=0\r\nIP0=C0A8\r\nIP1=64C8\r\n[FTP]\r\nPassword=secret\r\n";

QProcessEnvironment com1At(const QString& device)
{
    QProcessEnvironment environment;
    environment.insert("ZELVIC_COM1", device);
    return environment;
}

/// The far end of a pseudo-terminal pair, played by the test.
struct Peer
{
    Peer()
        : pty(std::make_unique<PtyPair>())
        , port(pty->endB())
    {
        port.open(QIODevice::ReadWrite);
        QObject::connect(&port, &QSerialPort::readyRead, [this] {
            const QByteArray bytes = port.readAll();
            received += bytes;
            if (onInput)
                onInput(bytes);
        });
    }

    std::unique_ptr<PtyPair> pty;
    QSerialPort port;
    QByteArray received;
    std::function<void(const QByteArray&)> onInput;
};

} // namespace

class TestSaxCommTransfer : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void completedTransfers_data();
    void completedTransfers();
    void receiverSkipsTheFile();
    void cancelButtonEndsTheTransfer();
    void secondCommandIsTurnedDown();
    void refusedAtOnce_data();
    void refusedAtOnce();
    void portLostDuringATransfer();
    void statusWindowLeavesTheFocusAlone();
    void commSpyRecords_data();
    void commSpyRecords();

private:
    QString writeSettingsFile(const QByteArray& content = kSettings);

    QTemporaryDir m_state;
    std::unique_ptr<QTemporaryDir> m_files;
};

void TestSaxCommTransfer::initTestCase()
{
    // The CommSpy log goes to the user's state folder: here, a folder of the test's own.
    qputenv("XDG_DATA_HOME", m_state.path().toUtf8());
}

void TestSaxCommTransfer::init()
{
    m_files = std::make_unique<QTemporaryDir>();
}

QString TestSaxCommTransfer::writeSettingsFile(const QByteArray& content)
{
    QFile file(m_files->filePath("server.ini"));
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
        return {};
    return file.fileName();
}

void TestSaxCommTransfer::completedTransfers_data()
{
    QTest::addColumn<int>("option");
    QTest::addColumn<QStringList>("receiver");
    QTest::addColumn<QString>("protocol");
    QTest::addColumn<bool>("backslash");

    QTest::newRow("ZMODEM") << 3 << QStringList { "rz", "-b", "-y" } << "ZMODEM" << false;
    QTest::newRow("YMODEM") << 2 << QStringList { "rb", "-b", "-y" } << "YMODEM" << false;
    QTest::newRow("plain bytes") << 0 << QStringList { "dd", "of=server.ini", "bs=1", "count=62" }
                                 << "plain bytes" << false;
    QTest::newRow("name after a backslash, as the upload writes it")
        << 3 << QStringList { "rz", "-b", "-y" } << "ZMODEM" << true;
}

void TestSaxCommTransfer::completedTransfers()
{
    QFETCH(int, option);
    QFETCH(QStringList, receiver);
    QFETCH(QString, protocol);
    QFETCH(bool, backslash);
    QCOMPARE(kSettings.size(), 62);
    LrzszReceiver peer(receiver);
    QVERIFY(peer.isReady());
    SaxComm comm(com1At(peer.devicePath()));
    QCOMPARE(comm.setPortOpen(true), Failure {});
    comm.setStartupOption(option);
    const QString path = writeSettingsFile();
    comm.setFileToSend(backslash ? m_files->path() + "\\server.ini" : path);
    QSignalSpy finished(&comm, &SaxComm::transferFinished);

    QCOMPARE(comm.setTransfer(1), Failure {});
    QVERIFY(comm.transferRunning() || !finished.isEmpty());
    frmSaxComm* window = comm.statusWindow();
    QVERIFY(window);
    QVERIFY(window->isVisible());
    QCOMPARE(window->windowTitle(), QStringLiteral("File Transfer Status"));
    QCOMPARE(window->text("file"), QStringLiteral("server.ini (62 bytes)"));
    QCOMPARE(window->text("protocol"), protocol);

    QVERIFY(!finished.isEmpty() || finished.wait(20000));
    QCOMPARE(finished.first().at(0).toBool(), true);
    const QString outcome = finished.first().at(1).toString();
    QVERIFY2(QRegularExpression("^Completed: 62 bytes in \\d+\\.\\d s$").match(outcome).hasMatch(),
        qPrintable(outcome));
    QCOMPARE(window->text("outcome"), outcome);
    QVERIFY(window->isVisible());
    QCOMPARE(window->findChild<QPushButton*>("cmdCancel")->text(), QStringLiteral("Close"));
    QVERIFY(!comm.transferRunning());
    QVERIFY(peer.waitForExit(5000));
    QCOMPARE(peer.received("server.ini"), kSettings);
}

void TestSaxCommTransfer::receiverSkipsTheFile()
{
    Peer peer;
    peer.onInput = [&](const QByteArray& bytes) {
        if (bytes.contains("rz\r"))
            peer.port.write(hexHeader(Header::withFlags(ZRINIT, CANFDX | CANOVIO | CANFC32)));
        else if (bytes.contains("server.ini"))
            peer.port.write(hexHeader(Header::withFlags(ZSKIP, 0)));
    };
    SaxComm comm(com1At(peer.pty->endA()));
    QCOMPARE(comm.setPortOpen(true), Failure {});
    comm.setFileToSend(writeSettingsFile());
    QSignalSpy finished(&comm, &SaxComm::transferFinished);
    QCOMPARE(comm.setTransfer(1), Failure {});
    QVERIFY(finished.wait(10000));
    QCOMPARE(finished.first().at(0).toBool(), false);
    QCOMPARE(
        finished.first().at(1).toString(), QStringLiteral("Failed: receiver skipped the file"));
    QCOMPARE(
        comm.statusWindow()->text("outcome"), QStringLiteral("Failed: receiver skipped the file"));
    QTRY_VERIFY(peer.received.endsWith(kCancel));
}

void TestSaxCommTransfer::cancelButtonEndsTheTransfer()
{
    Peer peer;
    SaxComm comm(com1At(peer.pty->endA()));
    QCOMPARE(comm.setPortOpen(true), Failure {});
    comm.setStartupOption(1);
    comm.setFileToSend(writeSettingsFile());
    QSignalSpy finished(&comm, &SaxComm::transferFinished);
    QCOMPARE(comm.setTransfer(1), Failure {});
    auto* cancel = comm.statusWindow()->findChild<QPushButton*>("cmdCancel");
    QCOMPARE(cancel->text(), QStringLiteral("Cancel"));
    cancel->click();
    QCOMPARE(finished.size(), 1);
    QCOMPARE(finished.first().at(1).toString(), QStringLiteral("Failed: cancelled by user"));
    QTRY_VERIFY(peer.received.endsWith(kCancel));
    QVERIFY(comm.portOpen());
    // Close now closes the window.
    cancel->click();
    QVERIFY(!comm.statusWindow()->isVisible());
}

void TestSaxCommTransfer::secondCommandIsTurnedDown()
{
    Peer peer;
    SaxComm comm(com1At(peer.pty->endA()));
    QCOMPARE(comm.setPortOpen(true), Failure {});
    comm.setFileToSend(writeSettingsFile());
    QSignalSpy finished(&comm, &SaxComm::transferFinished);
    QCOMPARE(comm.setTransfer(1), Failure {});
    QTRY_VERIFY(peer.received.contains("rz\r"));

    comm.setFileToSend(m_files->filePath("other.ini"));
    QCOMPARE(comm.setTransfer(1), Failure {});
    QVERIFY(comm.transferRunning());
    QVERIFY2(comm.statusWindow()->text("notice").contains("turned down"),
        qPrintable(comm.statusWindow()->text("notice")));
    QCOMPARE(comm.statusWindow()->text("file"), QStringLiteral("server.ini (62 bytes)"));
    QTest::qWait(100);
    QCOMPARE(peer.received.count("rz\r"), 1);
    QVERIFY(finished.isEmpty());

    comm.abortTransfer("cancelled by shutdown");
    QCOMPARE(finished.size(), 1);
    QCOMPARE(finished.first().at(1).toString(), QStringLiteral("Failed: cancelled by shutdown"));
    QVERIFY(!comm.transferRunning());
    QTRY_VERIFY(peer.received.endsWith(kCancel));
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
    QTest::newRow("unknown command")
        << "server.ini" << true << 3 << 2 << "Transfer command 2 is unknown";
    QTest::newRow("unknown protocol")
        << "server.ini" << true << 7 << 1 << "selects no transfer protocol";
}

void TestSaxCommTransfer::refusedAtOnce()
{
    QFETCH(QString, file);
    QFETCH(bool, open);
    QFETCH(int, option);
    QFETCH(int, command);
    QFETCH(QString, description);
    writeSettingsFile();
    Peer peer;
    SaxComm comm(com1At(peer.pty->endA()));
    if (open)
        QCOMPARE(comm.setPortOpen(true), Failure {});
    comm.setStartupOption(option);
    comm.setFileToSend(file.isEmpty() ? file : m_files->filePath(file));
    QSignalSpy finished(&comm, &SaxComm::transferFinished);
    const Failure failure = comm.setTransfer(command);
    QVERIFY(failure);
    QVERIFY2(failure->contains(description), qPrintable(*failure));
    QVERIFY(!comm.transferRunning());
    QTest::qWait(50);
    QVERIFY(finished.isEmpty());
    QVERIFY(peer.received.isEmpty());
}

void TestSaxCommTransfer::portLostDuringATransfer()
{
    Peer peer;
    QByteArray file(20000, 'x');
    peer.onInput = [&](const QByteArray& bytes) {
        if (bytes.contains("rz\r"))
            peer.port.write(hexHeader(Header::withFlags(ZRINIT, CANFDX | CANOVIO | CANFC32)));
        else if (bytes.contains("server.ini"))
            peer.port.write(hexHeader(Header::withPosition(ZRPOS, 0)));
    };
    SaxComm comm(com1At(peer.pty->endA()));
    QCOMPARE(comm.setPortOpen(true), Failure {});
    comm.setFileToSend(writeSettingsFile(file));
    QSignalSpy finished(&comm, &SaxComm::transferFinished);
    QCOMPARE(comm.setTransfer(1), Failure {});
    // Without acknowledgements the sender stops a little way in and waits.
    QTRY_VERIFY(peer.received.size() > 2000);
    QVERIFY(comm.transferRunning());

    peer.port.close();
    peer.pty.reset();
    QTRY_COMPARE(finished.size(), 1);
    QCOMPARE(finished.first().at(0).toBool(), false);
    QCOMPARE(finished.first().at(1).toString(), QStringLiteral("Failed: port lost"));
    QVERIFY(!comm.portOpen());
    QCOMPARE(comm.statusWindow()->text("outcome"), QStringLiteral("Failed: port lost"));
}

void TestSaxCommTransfer::statusWindowLeavesTheFocusAlone()
{
    QWidget main;
    auto* edit = new QLineEdit(&main);
    main.show();
    QApplication::setActiveWindow(&main);
    QVERIFY(QTest::qWaitForWindowActive(&main));
    edit->setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), edit);

    Peer peer;
    SaxComm comm(com1At(peer.pty->endA()));
    QCOMPARE(comm.setPortOpen(true), Failure {});
    comm.setFileToSend(writeSettingsFile());
    QCOMPARE(comm.setTransfer(1), Failure {});
    frmSaxComm* window = comm.statusWindow();
    QVERIFY(QTest::qWaitForWindowExposed(window));
    QVERIFY(window->testAttribute(Qt::WA_ShowWithoutActivating));
    QVERIFY(window->windowFlags().testFlag(Qt::Tool));
    QTest::qWait(100);
    QCOMPARE(QApplication::activeWindow(), &main);
    QCOMPARE(QApplication::focusWidget(), edit);
    comm.abortTransfer("cancelled by user");
    QCOMPARE(QApplication::focusWidget(), edit);
}

void TestSaxCommTransfer::commSpyRecords_data()
{
    QTest::addColumn<bool>("commSpy");
    QTest::addColumn<int>("which");
    QTest::addColumn<QString>("kind");

    QTest::newRow("events") << true << int(LogSwitch::Events) << "event";
    QTest::newRow("input") << true << int(LogSwitch::Input) << "input";
    QTest::newRow("output") << true << int(LogSwitch::Output) << "output";
    QTest::newRow("properties") << true << int(LogSwitch::Properties) << "property";
    QTest::newRow("warnings") << true << int(LogSwitch::Warnings) << "warning";
    QTest::newRow("every switch on, CommSpy off") << false << -1 << "";
}

void TestSaxCommTransfer::commSpyRecords()
{
    QFETCH(bool, commSpy);
    QFETCH(int, which);
    QFETCH(QString, kind);
    LrzszReceiver peer({ "rz", "-b", "-y" });
    QVERIFY(peer.isReady());
    SaxComm comm(com1At(peer.devicePath()));
    QVERIFY(comm.commSpyLogPath().startsWith(m_state.path() + "/"));
    QFile::remove(comm.commSpyLogPath());
    comm.setCommSpy(commSpy);
    for (int i = 0; i < 5; ++i)
        comm.setLogSwitch(LogSwitch(i), which < 0 || i == which);

    QCOMPARE(comm.setSettings("19200,n,8,1"), Failure {});
    QCOMPARE(comm.setPortOpen(true), Failure {});
    comm.setFileToSend(m_files->filePath("missing.ini"));
    QVERIFY(comm.setTransfer(1));
    comm.setFileToSend(writeSettingsFile());
    QSignalSpy finished(&comm, &SaxComm::transferFinished);
    QCOMPARE(comm.setTransfer(1), Failure {});
    QVERIFY(finished.wait(10000));
    QVERIFY(finished.first().at(0).toBool());
    comm.setCommSpy(false);

    QFile log(comm.commSpyLogPath());
    if (!commSpy) {
        QVERIFY(!log.exists());
        return;
    }
    QVERIFY(log.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(log.readAll()).split('\n', Qt::SkipEmptyParts);
    QVERIFY(!lines.isEmpty());
    const QRegularExpression record("^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\\.\\d{3} "
                                    "(event|input|output|property|warning) +(.*)$");
    QString text;
    for (const QString& line : lines) {
        const QRegularExpressionMatch match = record.match(line);
        QVERIFY2(match.hasMatch(), qPrintable(line));
        QCOMPARE(match.captured(1), kind);
        text += match.captured(2) + '\n';
    }
    if (kind == "output") {
        QVERIFY2(text.startsWith("72 7a 0d" + QString(41, ' ')
                     + "rz.\n2a 2a 18 42 30 30 30 30 30 30 "
                       "30 30 30 30 30 30  **.B000000000000\n"),
            qPrintable(text));
        // The file goes into the log as it travels, password and all.
        QString ascii;
        for (const QString& line : text.split('\n'))
            ascii += line.mid(49);
        QVERIFY2(ascii.contains("Password=secret"), qPrintable(ascii));
    }
    if (kind == "input")
        QVERIFY(text.contains("2a 2a 18 42 30 31 30 30 30 30 30 30 32 33 62 65  **.B0100000023be"));
    if (kind == "property")
        QVERIFY(text.contains("settings = 19200,n,8,1") && text.contains("transfer = 1"));
    if (kind == "warning")
        QVERIFY(text.contains("does not exist"));
    if (kind == "event")
        QVERIFY(text.contains("Completed: 62 bytes"));
}

QTEST_MAIN(TestSaxCommTransfer)
#include "test_sax_comm_transfer.moc"
