#include "windows/address_field.h"

#include <QLineEdit>
#include <QTest>
#include <QVBoxLayout>

// A box's rule runs on every repaired text until it settles; a paste as long as a box takes
// settles like a typed text, and a byte completed on the way still moves the focus on.
class TestAddressField : public QObject
{
    Q_OBJECT

private slots:
    void longPasteSettles_data();
    void longPasteSettles();
};

void TestAddressField::longPasteSettles_data()
{
    QTest::addColumn<bool>("hex");
    QTest::addColumn<QString>("pasted");
    QTest::addColumn<QString>("kept");
    QTest::addColumn<bool>("focusMoves");
    const QString letters(32764, u'x');
    QTest::newRow("decimal, letters only") << false << letters << "" << false;
    QTest::newRow("decimal, a byte then letters") << false << "1x2" + letters << "12" << false;
    QTest::newRow("decimal, a sign") << false << "-12"
                                     << "12" << false;
    QTest::newRow("decimal, above a byte") << false << "300"
                                           << "30" << true;
    QTest::newRow("hex, a lower-case digit then letters") << true << "a" + letters << "A" << false;
    QTest::newRow("hex, a byte then letters") << true << "AB" + letters << "AB" << true;
}

void TestAddressField::longPasteSettles()
{
    QFETCH(bool, hex);
    QFETCH(QString, pasted);
    QFETCH(QString, kept);
    QFETCH(bool, focusMoves);
    QWidget window;
    auto* field = new QLineEdit(&window);
    auto* next = new QLineEdit(&window);
    auto* layout = new QVBoxLayout(&window);
    layout->addWidget(field);
    layout->addWidget(next);
    attachEntryRule(field, hex ? OctetRule::Hex : OctetRule::Decimal, next);
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    field->setFocus();

    field->setText(pasted);
    QCOMPARE(field->text(), kept);
    QCOMPARE(next->hasFocus(), focusMoves);
}

QTEST_MAIN(TestAddressField)
#include "test_address_field.moc"
