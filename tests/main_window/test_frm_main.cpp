#include "fakes/fake_message_boxes.h"
#include "main_window/frm_main.h"
#include "serial_link/sax_comm.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <memory>

namespace {

const QStringList kIpRow { "txtIpAddress", "txtIpAddress2", "txtIpAddress3", "txtIpAddress4" };
const QStringList kMacRow { "txtMacAddress", "txtMacAddress2", "txtMacAddress3", "txtMacAddress4",
    "txtMacAddress5", "txtMacAddress6" };
const QStringList kMailRow { "txtEmailServerAddress", "txtEmailServerAddress2",
    "txtEmailServerAddress3", "txtEmailServerAddress4" };

QStringList rowOf(const QString& box)
{
    for (const QStringList& row : { kIpRow, kMacRow, kMailRow }) {
        if (row.contains(box))
            return row;
    }
    return {};
}

QString focusName()
{
    const QWidget* w = QApplication::focusWidget();
    return w ? w->objectName() : QString();
}

void typeKeys(const QString& keys)
{
    for (QChar c : keys)
        QTest::keyClicks(QApplication::focusWidget(), QString(c));
}

} // namespace

class TestFrmMain : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void startsInItsInitialState();
    void layoutAtDesignPositions_data();
    void layoutAtDesignPositions();
    void menus();
    void tabFromDhcpSkipsTheDisabledIpRow();
    void enterDoesNotPressWrite();

    void typing_data();
    void typing();
    void typingIntoAFullBox_data();
    void typingIntoAFullBox();
    void deleting_data();
    void deleting();
    void lastBoxNeverMovesTheFocus_data();
    void lastBoxNeverMovesTheFocus();
    void textSetByCode_data();
    void textSetByCode();
    void completeByteBeforeADisabledBoxKeepsTheFocus();

    void switches_data();
    void switches();
    void clear_data();
    void clear();

private:
    QLineEdit* box(const QString& name) const { return m_window->findChild<QLineEdit*>(name); }
    QWidget* widget(const QString& name) const { return m_window->findChild<QWidget*>(name); }
    void focusAtEnd(const QString& name, const QString& text);

    FakeMessageBoxes m_boxes;
    std::unique_ptr<SaxComm> m_comm;
    std::unique_ptr<frmMain> m_window;
};

void TestFrmMain::init()
{
    m_comm = std::make_unique<SaxComm>(QProcessEnvironment());
    m_window = std::make_unique<frmMain>(*m_comm, m_boxes);
    m_window->show();
    QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
}

void TestFrmMain::cleanup()
{
    m_window.reset();
    m_comm.reset();
    m_boxes.shown.clear();
}

void TestFrmMain::focusAtEnd(const QString& name, const QString& text)
{
    // Fill the box without the rules moving the focus, then put the caret at the end.
    QLineEdit* b = box(name);
    const QSignalBlocker blocker(b);
    b->setText(text);
    b->setFocus();
    b->setCursorPosition(static_cast<int>(text.size()));
}

void TestFrmMain::startsInItsInitialState()
{
    QCOMPARE(m_window->windowTitle(), QStringLiteral("Lumo Brisk Terminal"));
    QCOMPARE(focusName(), QStringLiteral("chkDHCP"));
    QCOMPARE(m_window->checkValue("chkDHCP"), 1);
    QCOMPARE(m_window->checkValue("chkFTP"), 1);
    for (const QString& name : kIpRow)
        QVERIFY(!box(name)->isEnabled());
    QVERIFY(!widget("lblIPAddress")->isEnabled());
    for (const char* name : { "txtUserName", "txtPassword", "lblUserName", "lblPassword" })
        QVERIFY(widget(name)->isEnabled());
    for (QLineEdit* b : m_window->findChildren<QLineEdit*>()) {
        QVERIFY2(b->text().isEmpty(), qPrintable(b->objectName()));
        QCOMPARE(b->alignment() == Qt::AlignCenter, !rowOf(b->objectName()).isEmpty());
        QCOMPARE(b->maxLength(), 32767);
    }
    QVERIFY(m_window->CurrentFileName().isEmpty());
    QVERIFY(!m_window->timer()->isActive());
    QCOMPARE(m_window->timer()->interval(), 1000);
    QCOMPARE(m_window->writeButton()->toolTip(),
        QStringLiteral("Writes current setting to the WEB server"));
}

void TestFrmMain::layoutAtDesignPositions_data()
{
    // Pixels at 96 dpi (the offscreen screen's), relative to the containing frame or window.
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QRect>("geometry");

    QTest::newRow("Frame1") << "Frame1"
                            << "WEB Server Setup" << QRect(8, 16, 321, 113);
    QTest::newRow("chkDHCP") << "chkDHCP"
                             << "DHCP enable" << QRect(24, 24, 105, 25);
    QTest::newRow("lblIPAddress") << "lblIPAddress"
                                  << "IP Address" << QRect(24, 56, 65, 19);
    QTest::newRow("txtIpAddress4") << "txtIpAddress4"
                                   << "" << QRect(232, 56, 25, 19);
    QTest::newRow("lblMACAddress") << "lblMACAddress"
                                   << "MAC Address (Hex)" << QRect(24, 80, 105, 19);
    QTest::newRow("txtMacAddress6") << "txtMacAddress6"
                                    << "" << QRect(280, 80, 25, 19);
    QTest::newRow("Frame2") << "Frame2"
                            << "Email Setup" << QRect(8, 136, 321, 129);
    QTest::newRow("Label5") << "Label5"
                            << "Receiver Address" << QRect(24, 48, 113, 19);
    QTest::newRow("txtHost") << "txtHost"
                             << "" << QRect(160, 72, 145, 19);
    QTest::newRow("Label6") << "Label6"
                            << "Email server IP address" << QRect(24, 96, 113, 19);
    QTest::newRow("txtEmailServerAddress2") << "txtEmailServerAddress2"
                                            << "" << QRect(184, 96, 25, 19);
    QTest::newRow("Frame3") << "Frame3"
                            << "FTP Setup" << QRect(8, 272, 321, 113);
    QTest::newRow("txtPassword") << "txtPassword"
                                 << "" << QRect(160, 80, 145, 19);
    QTest::newRow("cmdWrite") << "cmdWrite"
                              << "Write" << QRect(224, 392, 81, 33);
}

void TestFrmMain::layoutAtDesignPositions()
{
    QFETCH(QString, name);
    QFETCH(QString, caption);
    QFETCH(QRect, geometry);
    QWidget* w = widget(name);
    QVERIFY(w);
    QCOMPARE(w->geometry(), geometry);
    QString shown;
    if (auto* g = qobject_cast<QGroupBox*>(w))
        shown = g->title();
    else if (auto* l = qobject_cast<QLabel*>(w)) {
        shown = l->text();
        QVERIFY2(l->fontMetrics().horizontalAdvance(shown) <= l->width(), "caption cut off");
    } else if (auto* b = qobject_cast<QAbstractButton*>(w))
        shown = b->text();
    QCOMPARE(shown, caption);
    QCOMPARE(m_window->centralWidget()->size(), QSize(338, 429));
}

void TestFrmMain::menus()
{
    QStringList seen;
    for (QAction* top : m_window->menuBar()->actions()) {
        seen << top->menu()->objectName() + "=" + top->text();
        for (QAction* item : top->menu()->actions()) {
            seen << "  " + item->objectName() + "=" + (item->isSeparator() ? "-" : item->text());
            QVERIFY(item->shortcut().isEmpty());
        }
    }
    const QStringList expected { "FileMenu=&File", "  ReadFile=&Open", "  WriteFile=&Save",
        "  menuLine1=-", "  mnuClearForm=&Clear", "  mnuLine3=-", "  ExitMenu=E&xit",
        "SettingsMenu=&Settings", "  RS232Menu=RS232 &Port Setup", "mnuTools=&Tools",
        "  mnuPing=&Ping", "ViewMenu=&View", "  mnuWebBrowser=&Web Browser", "HelpMenu=&Help",
        "  HelpTopicsMenu=Help &Topics", "  mnuLine2=-", "  AboutMenu=&About" };
    QCOMPARE(seen, expected);
}

void TestFrmMain::tabFromDhcpSkipsTheDisabledIpRow()
{
    QStringList order { focusName() };
    for (int i = 0; i < 18; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        order << focusName();
    }
    const QStringList expected = QStringList { "chkDHCP" } + kMacRow
        + QStringList { "txtSenderAddress", "txtReceiverAddress", "txtHost" } + kMailRow
        + QStringList { "chkFTP", "txtUserName", "txtPassword", "cmdWrite", "chkDHCP" };
    QCOMPARE(order, expected);

    m_window->setCheckValue("chkDHCP", 0);
    widget("chkDHCP")->setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(focusName(), QStringLiteral("txtIpAddress"));
}

void TestFrmMain::enterDoesNotPressWrite()
{
    QSignalSpy clicked(m_window->writeButton(), &QPushButton::clicked);
    for (const char* name : { "txtHost", "txtMacAddress", "txtPassword" }) {
        box(name)->setFocus();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Enter);
    }
    QCOMPARE(clicked.count(), 0);
}

void TestFrmMain::typing_data()
{
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("keys");
    QTest::addColumn<QStringList>("row");
    QTest::addColumn<QString>("focus");

    QTest::newRow("25") << "txtIpAddress"
                        << "25" << QStringList { "25", "", "", "" } << "txtIpAddress";
    QTest::newRow("26") << "txtIpAddress"
                        << "26" << QStringList { "26", "", "", "" } << "txtIpAddress2";
    QTest::newRow("99") << "txtEmailServerAddress"
                        << "99" << QStringList { "99", "", "", "" } << "txtEmailServerAddress2";
    QTest::newRow("000") << "txtIpAddress"
                         << "000" << QStringList { "000", "", "", "" } << "txtIpAddress2";
    QTest::newRow("01") << "txtIpAddress"
                        << "01" << QStringList { "01", "", "", "" } << "txtIpAddress";
    QTest::newRow("256") << "txtIpAddress"
                         << "256" << QStringList { "25", "", "", "" } << "txtIpAddress";
    QTest::newRow("3x") << "txtIpAddress"
                        << "3x" << QStringList { "3", "", "", "" } << "txtIpAddress";
    QTest::newRow("1921681") << "txtIpAddress"
                             << "1921681" << QStringList { "192", "168", "1", "" }
                             << "txtIpAddress3";
    QTest::newRow("whole IP") << "txtIpAddress"
                              << "192168100200" << QStringList { "192", "168", "100", "200" }
                              << "txtIpAddress4";
    QTest::newRow("whole mail IP")
        << "txtEmailServerAddress"
        << "10001255" << QStringList { "100", "012", "55", "" } << "txtEmailServerAddress4";
    QTest::newRow("a") << "txtMacAddress"
                       << "a" << QStringList { "A", "", "", "", "", "" } << "txtMacAddress";
    QTest::newRow("ab") << "txtMacAddress"
                        << "ab" << QStringList { "AB", "", "", "", "", "" } << "txtMacAddress2";
    QTest::newRow("1g") << "txtMacAddress"
                        << "1g" << QStringList { "1", "", "", "", "", "" } << "txtMacAddress";
    QTest::newRow("123456") << "txtMacAddress"
                            << "123456" << QStringList { "12", "34", "56", "", "", "" }
                            << "txtMacAddress4";
    QTest::newRow("whole MAC") << "txtMacAddress"
                               << "00e04c6801fa"
                               << QStringList { "00", "E0", "4C", "68", "01", "FA" }
                               << "txtMacAddress6";
}

void TestFrmMain::typing()
{
    QFETCH(QString, first);
    QFETCH(QString, keys);
    QFETCH(QStringList, row);
    QFETCH(QString, focus);
    m_window->setCheckValue("chkDHCP", 0);
    box(first)->setFocus();
    typeKeys(keys);
    QStringList texts;
    for (const QString& name : rowOf(first))
        texts << box(name)->text();
    QCOMPARE(texts, row);
    QCOMPARE(focusName(), focus);
    QCOMPARE(box(focus)->cursorPosition(), box(focus)->text().size());
}

void TestFrmMain::typingIntoAFullBox_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("before");
    QTest::addColumn<int>("caret");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("after");
    QTest::addColumn<bool>("movesOn");

    QTest::newRow("255 then 7") << "txtIpAddress"
                                << "255" << 3 << "7"
                                << "255" << true;
    QTest::newRow("26 then x") << "txtIpAddress2"
                               << "26" << 2 << "x"
                               << "26" << true;
    QTest::newRow("25 then x") << "txtEmailServerAddress"
                               << "25" << 2 << "x"
                               << "25" << false;
    QTest::newRow("AB then C") << "txtMacAddress3"
                               << "AB" << 2 << "C"
                               << "AB" << true;
    QTest::newRow("1 in front of 255") << "txtIpAddress"
                                       << "255" << 0 << "1"
                                       << "125" << true;
    QTest::newRow("C in front of AB") << "txtMacAddress"
                                      << "AB" << 0 << "C"
                                      << "CA" << true;
    QTest::newRow("x in the middle") << "txtIpAddress"
                                     << "12" << 1 << "x"
                                     << "1x2" << true;
    QTest::newRow("c in front of 1") << "txtMacAddress"
                                     << "1" << 0 << "c"
                                     << "c1" << true;
}

void TestFrmMain::typingIntoAFullBox()
{
    QFETCH(QString, name);
    QFETCH(QString, before);
    QFETCH(int, caret);
    QFETCH(QString, key);
    QFETCH(QString, after);
    QFETCH(bool, movesOn);
    m_window->setCheckValue("chkDHCP", 0);
    focusAtEnd(name, before);
    box(name)->setCursorPosition(caret);
    typeKeys(key);
    QCOMPARE(box(name)->text(), after);
    QCOMPARE(box(name)->cursorPosition(), after.size());
    const QStringList row = rowOf(name);
    const QString next = row.value(row.indexOf(name) + 1);
    QCOMPARE(focusName(), movesOn ? next : name);
    QVERIFY(next.isEmpty() || box(next)->text().isEmpty());
}

void TestFrmMain::deleting_data()
{
    QTest::addColumn<int>("caret");
    QTest::addColumn<QString>("after");
    QTest::addColumn<QString>("focus");

    QTest::newRow("the 2 of 192") << 3 << "19"
                                  << "txtIpAddress";
    QTest::newRow("the 1 of 192") << 1 << "92"
                                  << "txtIpAddress2";
}

void TestFrmMain::deleting()
{
    QFETCH(int, caret);
    QFETCH(QString, after);
    QFETCH(QString, focus);
    m_window->setCheckValue("chkDHCP", 0);
    focusAtEnd("txtIpAddress", "192");
    box("txtIpAddress")->setCursorPosition(caret);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backspace);
    QCOMPARE(box("txtIpAddress")->text(), after);
    QCOMPARE(focusName(), focus);

    focusAtEnd("txtIpAddress", "5");
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backspace);
    QCOMPARE(box("txtIpAddress")->text(), QString());
    QCOMPARE(focusName(), QStringLiteral("txtIpAddress"));
}

void TestFrmMain::lastBoxNeverMovesTheFocus_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("keys");
    QTest::addColumn<QString>("kept");

    QTest::newRow("IP") << "txtIpAddress4"
                        << "2557"
                        << "255";
    QTest::newRow("MAC") << "txtMacAddress6"
                         << "abc"
                         << "AB";
    QTest::newRow("mail") << "txtEmailServerAddress4"
                          << "99"
                          << "99";
}

void TestFrmMain::lastBoxNeverMovesTheFocus()
{
    QFETCH(QString, name);
    QFETCH(QString, keys);
    QFETCH(QString, kept);
    m_window->setCheckValue("chkDHCP", 0);
    box(name)->setFocus();
    typeKeys(keys);
    QCOMPARE(box(name)->text(), kept);
    QCOMPARE(focusName(), name);
}

void TestFrmMain::textSetByCode_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("kept");
    QTest::addColumn<QString>("focus");

    QTest::newRow("empty") << "txtEmailServerAddress"
                           << ""
                           << ""
                           << "chkDHCP";
    QTest::newRow("10") << "txtEmailServerAddress"
                        << "10"
                        << "10"
                        << "chkDHCP";
    QTest::newRow("192") << "txtEmailServerAddress"
                         << "192"
                         << "192"
                         << "txtEmailServerAddress2";
    QTest::newRow("300") << "txtIpAddress"
                         << "300"
                         << "30"
                         << "txtIpAddress2";
    QTest::newRow("999") << "txtIpAddress2"
                         << "999"
                         << "99"
                         << "txtIpAddress3";
    QTest::newRow("1234") << "txtEmailServerAddress3"
                          << "1234"
                          << "123"
                          << "txtEmailServerAddress4";
    QTest::newRow("12xyz") << "txtIpAddress"
                           << "12xyz"
                           << "12"
                           << "chkDHCP";
    QTest::newRow("0a") << "txtMacAddress"
                        << "0a"
                        << "0A"
                        << "txtMacAddress2";
    QTest::newRow("a0") << "txtMacAddress2"
                        << "a0"
                        << "a0"
                        << "txtMacAddress3";
    QTest::newRow("fff") << "txtMacAddress"
                         << "fff"
                         << "fF"
                         << "txtMacAddress2";
    QTest::newRow("ABC") << "txtMacAddress5"
                         << "ABC"
                         << "AB"
                         << "txtMacAddress6";
    QTest::newRow("0g") << "txtMacAddress"
                        << "0g"
                        << "0"
                        << "chkDHCP";
    QTest::newRow("many rejects") << "txtIpAddress"
                                  << "7!@#$%^&*()"
                                  << "7"
                                  << "chkDHCP";
}

void TestFrmMain::textSetByCode()
{
    QFETCH(QString, name);
    QFETCH(QString, text);
    QFETCH(QString, kept);
    QFETCH(QString, focus);
    m_window->setCheckValue("chkDHCP", 0);
    widget("chkDHCP")->setFocus();
    m_window->setText(name, text);
    QCOMPARE(m_window->text(name), kept);
    QCOMPARE(focusName(), focus);
}

void TestFrmMain::completeByteBeforeADisabledBoxKeepsTheFocus()
{
    // DHCP is on: the IP row is disabled, yet a settings file may still fill it.
    for (const QString& name : kIpRow)
        m_window->setText(name, "192");
    for (const QString& name : kIpRow)
        QCOMPARE(m_window->text(name), QStringLiteral("192"));
    QCOMPARE(focusName(), QStringLiteral("chkDHCP"));
}

void TestFrmMain::switches_data()
{
    QTest::addColumn<QString>("checkBox");
    QTest::addColumn<int>("value");
    QTest::addColumn<QStringList>("group");
    QTest::addColumn<bool>("enabled");

    const QStringList ipGroup = kIpRow + QStringList { "lblIPAddress" };
    const QStringList ftpGroup { "txtUserName", "txtPassword", "lblUserName", "lblPassword" };
    QTest::newRow("DHCP off") << "chkDHCP" << 0 << ipGroup << true;
    QTest::newRow("DHCP third state") << "chkDHCP" << 2 << ipGroup << true;
    QTest::newRow("DHCP on again") << "chkDHCP" << 1 << ipGroup << false;
    QTest::newRow("FTP off") << "chkFTP" << 0 << ftpGroup << false;
    QTest::newRow("FTP third state") << "chkFTP" << 2 << ftpGroup << false;
    QTest::newRow("FTP on again") << "chkFTP" << 1 << ftpGroup << true;
}

void TestFrmMain::switches()
{
    QFETCH(QString, checkBox);
    QFETCH(int, value);
    QFETCH(QStringList, group);
    QFETCH(bool, enabled);
    // Texts survive the switching: fill the group first, with the group enabled.
    m_window->setCheckValue("chkDHCP", 0);
    for (const QString& name : group) {
        if (box(name))
            box(name)->setText("12");
    }
    m_window->setCheckValue(checkBox, value == 1 ? 0 : 1);
    m_window->setCheckValue(checkBox, value);
    for (const QString& name : group) {
        QCOMPARE(widget(name)->isEnabled(), enabled);
        if (box(name))
            QCOMPARE(box(name)->text(), QStringLiteral("12"));
    }

    // The user's click takes the same path.
    auto* check = m_window->findChild<QCheckBox*>(checkBox);
    check->setTristate(false);
    check->setCheckState(Qt::Checked);
    QTest::mouseClick(check, Qt::LeftButton, {}, QPoint(8, check->height() / 2));
    QCOMPARE(check->checkState(), Qt::Unchecked);
    QCOMPARE(widget(group.first())->isEnabled(), checkBox == "chkDHCP");
}

void TestFrmMain::clear_data()
{
    QTest::addColumn<int>("dhcp");
    QTest::addColumn<int>("ftp");

    QTest::newRow("blank form") << 1 << 1;
    QTest::newRow("DHCP off") << 0 << 1;
    QTest::newRow("FTP off") << 1 << 0;
    QTest::newRow("both off") << 0 << 0;
}

void TestFrmMain::clear()
{
    QFETCH(int, dhcp);
    QFETCH(int, ftp);
    if (dhcp == 1 && ftp == 1) {
        m_window->setText("txtHost", "");
    } else {
        m_window->setCheckValue("chkDHCP", 0);
        for (QLineEdit* b : m_window->findChildren<QLineEdit*>())
            b->setText("1");
        m_window->setCheckValue("chkDHCP", dhcp);
        m_window->setCheckValue("chkFTP", ftp);
    }
    widget("txtHost")->setFocus();

    m_window->menuItem("mnuClearForm")->trigger();

    for (QLineEdit* b : m_window->findChildren<QLineEdit*>())
        QVERIFY2(b->text().isEmpty(), qPrintable(b->objectName()));
    QCOMPARE(m_window->checkValue("chkDHCP"), 1);
    QCOMPARE(m_window->checkValue("chkFTP"), 1);
    for (const QString& name : kIpRow + QStringList { "lblIPAddress" })
        QVERIFY(!widget(name)->isEnabled());
    for (const char* name : { "txtUserName", "txtPassword", "lblUserName", "lblPassword" })
        QVERIFY(widget(name)->isEnabled());
    QCOMPARE(focusName(), QStringLiteral("chkDHCP"));
}

QTEST_MAIN(TestFrmMain)
#include "test_frm_main.moc"
