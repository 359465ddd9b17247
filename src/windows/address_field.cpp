#include "windows/address_field.h"

#include "core/octet_filters.h"

#include <QLineEdit>
#include <QPointer>

namespace {

OctetFilterResult filtered(OctetRule rule, const QString& text)
{
    return rule == OctetRule::Decimal ? FilterDecimalOctet(text) : FilterHexOctet(text);
}

void handleChange(QLineEdit* field, OctetRule rule, QLineEdit* next)
{
    // The rule runs again on each repaired text until it leaves the text as it is, and a complete
    // byte seen by any of those runs moves the focus on. The runs happen here, not nested in the
    // change each repaired text raises: a rule drops one character a run, and a long paste
    // would take a stack frame per character until the stack overflows.
    // Typed at the end, one character at a time, the rule alone would do; a paste or a text set
    // by code may hold characters anywhere that the rule, which looks at the last one, would let
    // through ("-12").
    QString text = OctetCharacters(rule, field->text());
    bool complete = false;
    for (;;) {
        const OctetFilterResult result = filtered(rule, text);
        complete = complete || result.focusSignal == 1;
        if (result.text == text)
            break;
        text = result.text;
    }
    field->setText(text);
    field->setCursorPosition(text.size());
    // A disabled next box (the IP row while DHCP is on) cannot take the focus: it stays here.
    if (complete && next && next->isEnabled())
        next->setFocus();
}

} // namespace

void attachEntryRule(QLineEdit* field, OctetRule rule, QLineEdit* next)
{
    QObject::connect(field, &QLineEdit::textChanged, field,
        [field, rule, next = QPointer<QLineEdit>(next)] { handleChange(field, rule, next); });
}
