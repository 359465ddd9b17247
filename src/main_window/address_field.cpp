#include "main_window/address_field.h"

#include "main_window/octet_filters.h"

#include <QLineEdit>
#include <QPointer>

namespace {

void handleChange(QLineEdit* field, OctetRule rule, QLineEdit* next)
{
    const OctetFilterResult result = rule == OctetRule::Decimal ? FilterDecimalOctet(field->text())
                                                                : FilterHexOctet(field->text());
    // Writing a repaired text raises the change again, nested, until the rule leaves the text
    // as it is; a complete byte seen by any of those runs moves the focus on.
    field->setText(result.text);
    field->setCursorPosition(field->text().size());
    // A disabled next box (the IP row while DHCP is on) cannot take the focus: it stays here.
    if (result.focusSignal == 1 && next && next->isEnabled())
        next->setFocus();
}

} // namespace

void attachEntryRule(QLineEdit* field, OctetRule rule, QLineEdit* next)
{
    QObject::connect(field, &QLineEdit::textChanged, field,
        [field, rule, next = QPointer<QLineEdit>(next)] { handleChange(field, rule, next); });
}
