#include "core/leading_number.h"

#include <QByteArray>
#include <QString>

#include <cmath>

#include <locale.h>
#include <stdlib.h>

namespace {

bool isSkipped(QChar c)
{
    return c == u' ' || c == u'\t' || c == u'\n';
}

// The digit's value, or -1 when the character is no digit of that radix.
int digitValue(QChar c, int radix)
{
    const char16_t u = c.unicode();
    int value = -1;
    if (u >= u'0' && u <= u'9')
        value = u - u'0';
    else if (u >= u'a' && u <= u'f')
        value = u - u'a' + 10;
    else if (u >= u'A' && u <= u'F')
        value = u - u'A' + 10;
    return value < radix ? value : -1;
}

bool isDigitIn(QChar c, int radix)
{
    return digitValue(c, radix) >= 0;
}

// The characters that remain once the skipped ones are taken out, so that "1 2" reads as 12.
QString withoutSkipped(QStringView text)
{
    QString kept;
    kept.reserve(text.size());
    for (QChar c : text) {
        if (!isSkipped(c))
            kept.append(c);
    }
    return kept;
}

// strtod() follows LC_NUMERIC, which the application takes from the user's environment: under
// a locale with a decimal comma "1.5" would read as 1. The number is always read in C's spelling.
double strtodInCLocale(const char* text)
{
    static const locale_t cLocale = newlocale(LC_NUMERIC_MASK, "C", locale_t {});
    return strtod_l(text, nullptr, cLocale);
}

double radixInteger(QStringView digits, int radix)
{
    double value = 0;
    for (QChar c : digits) {
        const int digit = digitValue(c, radix);
        if (digit < 0)
            break;
        value = value * radix + digit;
    }
    return value;
}

} // namespace

double leadingNumber(QStringView text)
{
    const QString s = withoutSkipped(text);
    if (s.size() >= 2 && s[0] == u'&') {
        const QChar kind = s[1].toUpper();
        if (kind == u'H')
            return radixInteger(QStringView(s).mid(2), 16);
        if (kind == u'O')
            return radixInteger(QStringView(s).mid(2), 8);
    }

    // Collect the longest prefix that forms a decimal number, in the C locale's spelling.
    QByteArray number;
    qsizetype i = 0;
    auto digitsFrom = [&] {
        const qsizetype start = i;
        while (i < s.size() && isDigitIn(s[i], 10))
            number.append(static_cast<char>(s[i++].unicode()));
        return i > start;
    };
    if (i < s.size() && (s[i] == u'+' || s[i] == u'-'))
        number.append(static_cast<char>(s[i++].unicode()));
    bool anyDigit = digitsFrom();
    if (i < s.size() && s[i] == u'.') {
        number.append('.');
        ++i;
        anyDigit = digitsFrom() || anyDigit;
    }
    if (!anyDigit)
        return 0;
    if (i < s.size() && (s[i].toUpper() == u'E' || s[i].toUpper() == u'D')) {
        QByteArray exponent("e");
        qsizetype j = i + 1;
        if (j < s.size() && (s[j] == u'+' || s[j] == u'-'))
            exponent.append(static_cast<char>(s[j++].unicode()));
        const qsizetype firstDigit = j;
        while (j < s.size() && isDigitIn(s[j], 10))
            exponent.append(static_cast<char>(s[j++].unicode()));
        if (j > firstDigit)
            number.append(exponent);
    }
    return strtodInCLocale(number.constData());
}

double octetValue(QStringView text)
{
    return std::nearbyint(leadingNumber(text));
}
