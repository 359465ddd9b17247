#include "core/octet_filters.h"

#include "core/leading_number.h"

namespace {

bool isDecimalDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

bool isLowerHexLetter(QChar c)
{
    return c >= u'a' && c <= u'f';
}

bool isUpperHexLetter(QChar c)
{
    return c >= u'A' && c <= u'F';
}

QString withoutLast(const QString& text)
{
    return text.left(text.size() - 1);
}

} // namespace

OctetFilterResult FilterDecimalOctet(const QString& text)
{
    const qsizetype n = text.size();
    if (n == 0)
        return { text, 0 };
    if (!isDecimalDigit(text.back()))
        return { withoutLast(text), 0 };
    // From 26 upwards any third digit would pass 255, so two digits complete the byte.
    if (n == 2 && leadingNumber(text) > 25)
        return { text, 1 };
    if (n == 3)
        return leadingNumber(text) > 255 ? OctetFilterResult { withoutLast(text), 0 }
                                         : OctetFilterResult { text, 1 };
    if (n >= 4)
        return { text.left(3), 0 };
    return { text, 0 };
}

QString OctetCharacters(OctetRule rule, const QString& text)
{
    QString kept;
    for (const QChar c : text) {
        if (isDecimalDigit(c))
            kept += c;
        else if (rule == OctetRule::Hex && (isUpperHexLetter(c) || isLowerHexLetter(c)))
            kept += c.toUpper();
    }
    return kept;
}

OctetFilterResult FilterHexOctet(const QString& text)
{
    const qsizetype n = text.size();
    if (n == 0)
        return { text, 0 };
    QString t = text;
    const QChar last = t.back();
    if (isLowerHexLetter(last))
        t.back() = last.toUpper();
    else if (!isDecimalDigit(last) && !isUpperHexLetter(last))
        return { withoutLast(t), 0 };
    if (n == 2)
        return { t, 1 };
    if (n >= 3)
        return { t.left(2), 0 };
    return { t, 0 };
}
