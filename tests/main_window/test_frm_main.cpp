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

    void editing_data();
    void editing();
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

    const auto add = [](const char* name, const char* caption, QRect geometry) {
        QTest::newRow(name) << name << caption << geometry;
    };
    add("Frame1", "WEB Server Setup", { 8, 16, 321, 113 });
    add("chkDHCP", "DHCP enable", { 24, 24, 105, 25 });
    add("txtMacAddress6", "", { 280, 80, 25, 19 });
    add("Label6", "Email server IP address", { 24, 96, 113, 19 });
    add("cmdWrite", "Write", { 224, 392, 81, 33 });
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
    for (const char* name : { "txtHost", "txtMacAddress" }) {
        box(name)->setFocus();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Enter);
    }
    QCOMPARE(clicked.count(), 0);
}

void TestFrmMain::editing_data()
{
    // The box is filled with "before" (no rule run), the caret set, then the keys typed one by
    // one into whichever box has the focus; \b is Backspace.
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("before");
    QTest::addColumn<int>("caret");
    QTest::addColumn<QString>("keys");
    QTest::addColumn<QStringList>("row");
    QTest::addColumn<QString>("focus");
    const auto add = [](const char* tag, const char* name, const char* before, int caret,
                         const char* keys, const QStringList& row, const char* focus) {
        QTest::newRow(tag) << name << before << caret << keys << row << focus;
    };
    const char* ip = "txtIpAddress";
    const char* mac = "txtMacAddress";
    add("25 stays", ip, "", 0, "25", { "25", "", "", "" }, ip);
    add("26 moves on", ip, "", 0, "26", { "26", "", "", "" }, "txtIpAddress2");
    add("256 cut to 25", ip, "", 0, "256", { "25", "", "", "" }, ip);
    add("whole IP", ip, "", 0, "192168100200", { "192", "168", "100", "200" }, "txtIpAddress4");
    add("ab", mac, "", 0, "ab", { "AB", "", "", "", "", "" }, "txtMacAddress2");
    add("whole MAC", mac, "", 0, "00e04c6801fa", { "00", "E0", "4C", "68", "01", "FA" },
        "txtMacAddress6");
    add("255 then 7", ip, "255", 3, "7", { "255", "", "", "" }, "txtIpAddress2");
    add("AB then C", "txtMacAddress3", "AB", 2, "C", { "", "", "AB", "", "", "" },
        "txtMacAddress4");
    add("1 in front of 255", ip, "255", 0, "1", { "125", "", "", "" }, "txtIpAddress2");
    add("x in the middle", ip, "12", 1, "x", { "1x2", "", "", "" }, "txtIpAddress2");
    add("deleting the 2 of 192", ip, "192", 3, "\b", { "19", "", "", "" }, ip);
    add("deleting the 1 of 192", ip, "192", 1, "\b", { "92", "", "", "" }, "txtIpAddress2");
    add("last IP box", "txtIpAddress4", "", 0, "2557", { "", "", "", "255" }, "txtIpAddress4");
}

void TestFrmMain::editing()
{
    QFETCH(QString, name);
    QFETCH(QString, before);
    QFETCH(int, caret);
    QFETCH(QString, keys);
    QFETCH(QStringList, row);
    QFETCH(QString, focus);
    m_window->setCheckValue("chkDHCP", 0);
    {
        const QSignalBlocker blocker(box(name));
        box(name)->setText(before);
    }
    box(name)->setFocus();
    box(name)->setCursorPosition(caret);
    for (QChar key : keys) {
        if (key == u'\b')
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backspace);
        else
            QTest::keyClicks(QApplication::focusWidget(), QString(key));
    }
    QStringList texts;
    for (const QString& b : rowOf(name))
        texts << box(b)->text();
    QCOMPARE(texts, row);
    QCOMPARE(focusName(), focus);
    QCOMPARE(box(name)->cursorPosition(), box(name)->text().size());
}

void TestFrmMain::textSetByCode_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("kept");
    QTest::addColumn<QString>("focus");

    const auto add = [](const char* name, const char* text, const char* kept, const char* focus) {
        QTest::newRow(text) << name << text << kept << focus;
    };
    add("txtEmailServerAddress", "192", "192", "txtEmailServerAddress2");
    add("txtIpAddress", "300", "30", "txtIpAddress2");
    add("txtEmailServerAddress3", "1234", "123", "txtEmailServerAddress4");
    add("txtIpAddress", "12xyz", "12", "chkDHCP");
    add("txtMacAddress", "fff", "fF", "txtMacAddress2");
    add("txtIpAddress", "7!@#$%^&*()", "7", "chkDHCP");
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
    QTest::newRow("FTP off") << "chkFTP" << 0 << ftpGroup << false;
    QTest::newRow("FTP third state") << "chkFTP" << 2 << ftpGroup << false;
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

    QTest::newRow("DHCP off") << 0 << 1;
    QTest::newRow("FTP off") << 1 << 0;
    QTest::newRow("both off") << 0 << 0;
}

void TestFrmMain::clear()
{
    QFETCH(int, dhcp);
    QFETCH(int, ftp);
    m_window->setCheckValue("chkDHCP", 0);
    for (QLineEdit* b : m_window->findChildren<QLineEdit*>())
        b->setText("1");
    m_window->setCheckValue("chkDHCP", dhcp);
    m_window->setCheckValue("chkFTP", ftp);
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
