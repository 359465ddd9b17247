#include "fakes/fake_message_boxes.h"
#include "main_window/frm_main.h"
#include "serial_link/sax_comm.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QTimer>

#include <memory>

namespace {

const QStringList kIpRow { "txtIpAddress", "txtIpAddress2", "txtIpAddress3", "txtIpAddress4" };
const QStringList kMacRow { "txtMacAddress", "txtMacAddress2", "txtMacAddress3", "txtMacAddress4",
    "txtMacAddress5", "txtMacAddress6" };
const QStringList kMailRow { "txtEmailServerAddress", "txtEmailServerAddress2",
    "txtEmailServerAddress3", "txtEmailServerAddress4" };
const QStringList kIpGroup = kIpRow + QStringList { "lblIPAddress" };
const QStringList kFtpGroup { "txtUserName", "txtPassword", "lblUserName", "lblPassword" };

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
    void tabFromDhcpSkipsTheDisabledIpRow();
    void entryRules_data();
    void entryRules();
    void switches_data();
    void switches();
    void clear();

private:
    QLineEdit* box(const QString& name) const { return m_window->findChild<QLineEdit*>(name); }
    QWidget* widget(const QString& name) const { return m_window->findChild<QWidget*>(name); }
    void verifyStartState();

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
}

// Empty boxes, both switches on, the IP row greyed out, the FTP row usable, focus on DHCP.
void TestFrmMain::verifyStartState()
{
    for (QLineEdit* b : m_window->findChildren<QLineEdit*>())
        QVERIFY2(b->text().isEmpty(), qPrintable(b->objectName()));
    QCOMPARE(m_window->checkValue("chkDHCP"), 1);
    QCOMPARE(m_window->checkValue("chkFTP"), 1);
    for (const QString& name : kIpGroup)
        QVERIFY2(!widget(name)->isEnabled(), qPrintable(name));
    for (const QString& name : kFtpGroup)
        QVERIFY2(widget(name)->isEnabled(), qPrintable(name));
    QCOMPARE(focusName(), QStringLiteral("chkDHCP"));
}

void TestFrmMain::startsInItsInitialState()
{
    verifyStartState();
    QVERIFY(m_window->CurrentFileName().isEmpty());
    QVERIFY(!m_window->timer()->isActive());
    QCOMPARE(m_window->timer()->interval(), 1000);
    // Pixels at 96 dpi (the offscreen screen's), relative to the containing frame or window.
    QCOMPARE(m_window->centralWidget()->size(), QSize(338, 429));
    QCOMPARE(widget("txtMacAddress6")->geometry(), QRect(280, 80, 25, 19));
    QCOMPARE(widget("cmdWrite")->geometry(), QRect(224, 392, 81, 33));
    for (QLabel* l : m_window->findChildren<QLabel*>())
        QVERIFY2(l->fontMetrics().horizontalAdvance(l->text()) <= l->width(),
            qPrintable(l->objectName()));
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

void TestFrmMain::entryRules_data()
{
    // Typed: with DHCP off, the keys go one by one into whichever box has the focus. Set by
    // code: the whole text at once while the focus stays on DHCP, which stays on, so the IP row
    // is disabled, as when a settings file fills it.
    QTest::addColumn<bool>("typed");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("row");
    QTest::addColumn<QString>("focus");
    const auto add = [](const char* tag, bool typed, const char* name, const char* text,
                         const QStringList& row, const char* focus) {
        QTest::newRow(tag) << typed << name << text << row << focus;
    };
    const char* ip = "txtIpAddress";
    add("whole IP", true, ip, "192168100200", { "192", "168", "100", "200" }, "txtIpAddress4");
    add("whole MAC", true, "txtMacAddress", "00e04c6801fa", { "00", "E0", "4C", "68", "01", "FA" },
        "txtMacAddress6");
    add("256 cut to 25", true, ip, "256", { "25", "", "", "" }, ip);
    add("last IP box", true, "txtIpAddress4", "2557", { "", "", "", "255" }, "txtIpAddress4");
    add("300 by code", false, "txtEmailServerAddress", "300", { "30", "", "", "" },
        "txtEmailServerAddress2");
    add("symbols by code", false, "txtEmailServerAddress", "7!@#$%^&*()", { "7", "", "", "" },
        "chkDHCP");
    add("fff by code", false, "txtMacAddress", "fff", { "fF", "", "", "", "", "" },
        "txtMacAddress2");
    add("before a disabled box", false, ip, "192", { "192", "", "", "" }, "chkDHCP");
}

void TestFrmMain::entryRules()
{
    QFETCH(bool, typed);
    QFETCH(QString, name);
    QFETCH(QString, text);
    QFETCH(QStringList, row);
    QFETCH(QString, focus);
    if (typed) {
        m_window->setCheckValue("chkDHCP", 0);
        box(name)->setFocus();
        for (QChar key : text)
            QTest::keyClicks(QApplication::focusWidget(), QString(key));
    } else {
        m_window->setText(name, text);
    }
    const QString prefix = name.left(6);
    QStringList texts;
    for (const QString& b : kIpRow + kMacRow + kMailRow) {
        if (b.startsWith(prefix))
            texts << box(b)->text();
    }
    QCOMPARE(texts, row);
    QCOMPARE(focusName(), focus);
}

void TestFrmMain::switches_data()
{
    QTest::addColumn<QString>("checkBox");
    QTest::addColumn<QStringList>("group");
    QTest::addColumn<bool>("enabledInThirdState");

    QTest::newRow("DHCP") << "chkDHCP" << kIpGroup << true;
    QTest::newRow("FTP") << "chkFTP" << kFtpGroup << false;
}

void TestFrmMain::switches()
{
    QFETCH(QString, checkBox);
    QFETCH(QStringList, group);
    QFETCH(bool, enabledInThirdState);
    // Texts survive the switching: fill the group first, with the group enabled.
    m_window->setCheckValue("chkDHCP", 0);
    for (const QString& name : group) {
        if (box(name))
            box(name)->setText("12");
    }
    m_window->setCheckValue(checkBox, 1);
    m_window->setCheckValue(checkBox, 2);
    for (const QString& name : group) {
        QCOMPARE(widget(name)->isEnabled(), enabledInThirdState);
        if (box(name))
            QCOMPARE(box(name)->text(), QStringLiteral("12"));
    }
}

void TestFrmMain::clear()
{
    m_window->setCheckValue("chkDHCP", 0);
    for (QLineEdit* b : m_window->findChildren<QLineEdit*>())
        b->setText("1");
    m_window->setCheckValue("chkFTP", 0);
    widget("txtHost")->setFocus();

    m_window->menuItem("mnuClearForm")->trigger();
    verifyStartState();
}

QTEST_MAIN(TestFrmMain)
#include "test_frm_main.moc"
