#include "fakes/fake_message_boxes.h"
#include "serial_link/sax_comm.h"
#include "windows/frm_main.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <memory>

namespace {

// Every text box, in the order the window takes them.
const QStringList kBoxes { "txtIpAddress", "txtIpAddress2", "txtIpAddress3", "txtIpAddress4",
    "txtMacAddress", "txtMacAddress2", "txtMacAddress3", "txtMacAddress4", "txtMacAddress5",
    "txtMacAddress6", "txtSenderAddress", "txtReceiverAddress", "txtHost", "txtEmailServerAddress",
    "txtEmailServerAddress2", "txtEmailServerAddress3", "txtEmailServerAddress4", "txtUserName",
    "txtPassword" };
const QStringList kIpGroup = kBoxes.mid(0, 4) + QStringList { "lblIPAddress" };
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

    void statesNamesAndKeys();
    void entryRules_data();
    void entryRules();

private:
    QLineEdit* box(const QString& name) const { return m_window->findChild<QLineEdit*>(name); }
    QWidget* widget(const QString& name) const { return m_window->findChild<QWidget*>(name); }
    void verifyState(int value, const QString& text);

    FakeMessageBoxes m_boxes;
    std::unique_ptr<SaxComm> m_comm;
    std::unique_ptr<frmMain> m_window;
};

void TestFrmMain::init()
{
    // A fresh window on a fresh serial control for each test; the window before goes first.
    m_window.reset();
    m_comm = std::make_unique<SaxComm>(QProcessEnvironment());
    m_window = std::make_unique<frmMain>(*m_comm, m_boxes);
    m_window->show();
    QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
}

// Every box holding text, both switches at value: at 1 the IP row is greyed out and the FTP row
// usable, at 2 the other way round.
void TestFrmMain::verifyState(int value, const QString& text)
{
    for (QLineEdit* b : m_window->findChildren<QLineEdit*>())
        QVERIFY2(b->text() == text, qPrintable(b->objectName()));
    QCOMPARE(m_window->serverSettings().dhcp, value);
    QCOMPARE(m_window->serverSettings().ftp, value);
    for (const QString& name : kIpGroup)
        QVERIFY2(widget(name)->isEnabled() == (value == 2), qPrintable(name));
    for (const QString& name : kFtpGroup)
        QVERIFY2(widget(name)->isEnabled() == (value == 1), qPrintable(name));
}

void TestFrmMain::statesNamesAndKeys()
{
    verifyState(1, QString());
    QVERIFY(!m_window->timer()->isActive());
    for (QLabel* l : m_window->findChildren<QLabel*>())
        QVERIFY2(l->fontMetrics().horizontalAdvance(l->text()) <= l->width(),
            qPrintable(l->objectName()));
    // The focus starts on DHCP; Tab from there skips the disabled IP row.
    QStringList order { focusName() };
    for (int i = 0; i < 18; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        order << focusName();
    }
    const QStringList expected = QStringList { "chkDHCP" } + kBoxes.mid(4, 13)
        + QStringList { "chkFTP", "txtUserName", "txtPassword", "cmdWrite", "chkDHCP" };
    QCOMPARE(order, expected);

    // Boxes of a row are announced with their place in it, the others by their label.
    QStringList announced;
    for (const auto& [row, size] : std::initializer_list<std::pair<QString, int>> {
             { "IP Address", 4 }, { "MAC Address (Hex)", 6 }, { "Sender Address", 0 },
             { "Receiver Address", 0 }, { "Host", 0 }, { "Email server IP address", 4 },
             { "User Name", 0 }, { "Password", 0 } }) {
        for (int i = 1; i <= std::max(size, 1); ++i)
            announced << (size ? QString("%1, byte %2").arg(row).arg(i) : row);
    }
    QStringList names;
    for (const QString& name : kBoxes)
        names << QAccessible::queryAccessibleInterface(box(name))->text(QAccessible::Name);
    QCOMPARE(names, announced);

    // Enter presses the focused Write button; in a text box it does nothing.
    QSignalSpy pressed(m_window->writeButton(), &QPushButton::clicked);
    box("txtHost")->setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    m_window->writeButton()->setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QCOMPARE(pressed.size(), 1);

    // Texts survive the switching: every box is filled first, with both rows usable.
    m_window->applySetting({ "chkDHCP", 0 });
    for (QLineEdit* b : m_window->findChildren<QLineEdit*>())
        b->setText("12");
    for (const char* name : { "chkDHCP", "chkFTP" }) {
        m_window->applySetting({ name, 1 });
        m_window->applySetting({ name, 2 });
    }
    verifyState(2, "12");

    // Clear Form takes the focus back to DHCP from Write, where Enter left it.
    m_window->menu().mnuClearForm->trigger();
    verifyState(1, QString());
    QCOMPARE(focusName(), QStringLiteral("chkDHCP"));
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
    const auto add = [](const char* tag, bool typed, const char* name, const QString& text,
                         const QStringList& row, const char* focus) {
        QTest::newRow(tag) << typed << name << text << row << focus;
    };
    add("whole IP", true, "txtIpAddress", "192168100200", { "192", "168", "100", "200" },
        "txtIpAddress4");
    add("whole MAC", true, "txtMacAddress", "00e04c6801fa", { "00", "E0", "4C", "68", "01", "FA" },
        "txtMacAddress6");
    add("last IP box", true, "txtIpAddress4", "2557", { "", "", "", "255" }, "txtIpAddress4");
    add("300 by code", false, "txtEmailServerAddress", "300", { "30", "", "", "" },
        "txtEmailServerAddress2");
    add("fff by code", false, "txtMacAddress", "fff", { "FF", "", "", "", "", "" },
        "txtMacAddress2");
    add("before a disabled box", false, "txtIpAddress", "192", { "192", "", "", "" }, "chkDHCP");
    // The rule runs on each repaired text until it settles: a paste as long as a box takes must
    // not nest a change per character; a byte completed on the way still moves the focus on.
    const QString letters(32764, u'x');
    add("letters only", false, "txtEmailServerAddress", letters, { "", "", "", "" }, "chkDHCP");
    add("a sign, a byte in letters", false, "txtEmailServerAddress", "-1x2" + letters,
        { "12", "", "", "" }, "chkDHCP");
    add("a hex byte, letters", false, "txtMacAddress", "AB" + letters, { "AB", "", "", "", "", "" },
        "txtMacAddress2");
}

void TestFrmMain::entryRules()
{
    QFETCH(bool, typed);
    QFETCH(QString, name);
    QFETCH(QString, text);
    QFETCH(QStringList, row);
    QFETCH(QString, focus);
    if (typed) {
        m_window->applySetting({ "chkDHCP", 0 });
        box(name)->setFocus();
        for (QChar key : text)
            QTest::keyClicks(QApplication::focusWidget(), QString(key));
    } else {
        m_window->applySetting({ name, text });
    }
    QStringList texts; // of the boxes of the row, named alike
    for (const QString& b : kBoxes)
        if (b.startsWith(name.left(6)))
            texts << box(b)->text();
    QCOMPARE(texts, row);
    QCOMPARE(focusName(), focus);
}

QTEST_MAIN(TestFrmMain)
#include "test_frm_main.moc"
