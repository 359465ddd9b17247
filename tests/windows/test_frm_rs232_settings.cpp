#include "fakes/fake_message_boxes.h"
#include "serial_link/sax_comm.h"
#include "testkit/pty_pair.h"
#include "windows/frm_rs232_settings.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>

class TestFrmRS232Settings : public QObject
{
    Q_OBJECT

private slots:
    void loadAndApply_data();
    void loadAndApply();

private:
    PtyPair m_ptys[2]; // COM1 and COM2
};

void TestFrmRS232Settings::loadAndApply_data()
{
    // The port as "open COM1 9600,n,8,1" before and after.
    QTest::addColumn<QString>("start");
    QTest::addColumn<bool>("spyOn"); // CommSpy on, logging input
    QTest::addColumn<int>("select"); // the list entry selected, -1 as loaded
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("message"); // empty: the dialog closes without one
    QTest::addColumn<QString>("end");
    const auto add = [](const char* tag, const char* start, bool spyOn, int select,
                         const char* text, const char* message, const char* end) {
        QTest::newRow(tag) << QString(start) << spyOn << select << QString(text) << QString(message)
                           << QString(end);
    };
    add("open, same port: the settings only", "open COM1 9600,n,8,1", false, -1, "19200,n,8,2", "",
        "open COM1 19200,n,8,2");
    add("open, COM1 to COM2", "open COM1 9600,n,8,1", true, 1, "4800,n,8,1", "",
        "open COM2 4800,n,8,1");
    add("closed, COM2 selected", "closed COM1 9600,n,8,1", false, 1, "9600,n,8,1", "",
        "open COM2 9600,n,8,1");
    // Names are case-sensitive: com1 is none of the entries, and it is the one opened.
    add("closed, nothing selected: the name it had", "closed com1 9600,n,8,1", false, -1,
        "38400,n,8,1", "Cannot open serial port com1", "closed com1 38400,n,8,1");
    add("invalid string", "open COM1 9600,n,8,1", true, 1, "115200,n,8,1",
        "Illegal SETTINGS string", "open COM1 9600,n,8,1");
}

void TestFrmRS232Settings::loadAndApply()
{
    QFETCH(QString, start);
    QFETCH(bool, spyOn);
    QFETCH(int, select);
    QFETCH(QString, text);
    QFETCH(QString, message);
    QProcessEnvironment environment;
    environment.insert("ZELVIC_COM1", m_ptys[0].endA());
    environment.insert("ZELVIC_COM2", m_ptys[1].endA());
    SaxComm comm(environment);
    const QStringList words = start.split(' ');
    QVERIFY(comm.setCommPort(words[1]).ok() && comm.setSettings(words[2]).ok()
        && comm.setPortOpen(words[0] == "open").ok());
    comm.setCommSpy(spyOn);
    comm.setLogSwitch(LogSwitch::Input, true);
    FakeMessageBoxes boxes;
    frmRS232Settings dialog(comm, boxes);
    dialog.show();

    // Loaded: the settings, the CommSpy boxes, and the entry of exactly the port's name
    // selected, which Apply keeps unless another is selected.
    auto* settings = dialog.findChild<QLineEdit*>("txtSettings");
    QCOMPARE(settings->text(), words[2]);
    // The log boxes: input ticked, and every box enabled, only while CommSpy is on.
    for (QCheckBox* box : dialog.findChildren<QCheckBox*>(QRegularExpression("^chkCommSpy."))) {
        QCOMPARE(box->isChecked(), spyOn && box->objectName() == "chkCommSpyInput");
        QCOMPARE(box->isEnabled(), spyOn);
    }
    dialog.findChild<QCheckBox*>("chkCommSpy")->click();

    if (select >= 0)
        dialog.findChild<QListWidget*>("comPortList")->setCurrentRow(select);
    settings->selectAll();
    QTest::keyClicks(settings, text);
    dialog.findChild<QCheckBox*>("chkCommSpyInput")->click();
    // Enter in the settings box applies nothing; Enter on the focused Apply does.
    QTest::keyClick(settings, Qt::Key_Return);
    QCOMPARE(comm.settings(), words[2]);
    auto* apply = dialog.findChild<QPushButton*>("cmdApply");
    apply->setFocus();
    QTest::keyClick(apply, Qt::Key_Return);

    QVERIFY2(boxes.shown.size() == (message.isEmpty() ? 0 : 1)
            && boxes.shown.join('|').contains(message),
        qPrintable(boxes.shown.join('|')));
    QCOMPARE(dialog.isVisible(), !message.isEmpty());
    QTEST(QString("%1 %2 %3")
              .arg(comm.portOpen() ? "open" : "closed", comm.commPort(), comm.settings()),
        "end");
    // The busy pointer of the port's handling is gone whatever the outcome.
    QCOMPARE(dialog.cursor().shape(), Qt::ArrowCursor);
    // The CommSpy switches are written only once the port has been dealt with; switched off,
    // every log switch goes off.
    const bool written = message.isEmpty();
    QCOMPARE(comm.commSpy(), spyOn != written);
    QCOMPARE(comm.logSwitch(LogSwitch::Input), !(written && spyOn));
}

QTEST_MAIN(TestFrmRS232Settings)
#include "test_frm_rs232_settings.moc"
