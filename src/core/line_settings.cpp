#include "core/line_settings.h"

#include "core/leading_number.h"

#include <QList>

#include <cmath>
#include <limits>

std::optional<qint32> roundToInt32(double value)
{
    const double rounded = std::nearbyint(value); // the default rounding mode: halves to even
    if (!(rounded >= std::numeric_limits<qint32>::min()
            && rounded <= std::numeric_limits<qint32>::max()))
        return std::nullopt;
    return static_cast<qint32>(rounded);
}

namespace {

std::optional<LineSettings::Parity> parityFromLetter(QStringView field)
{
    const QStringView letter = field.trimmed();
    if (letter.size() != 1)
        return std::nullopt;
    switch (letter[0].toLower().unicode()) {
    case u'n':
        return LineSettings::Parity::None;
    case u'e':
        return LineSettings::Parity::Even;
    case u'o':
        return LineSettings::Parity::Odd;
    case u'm':
        return LineSettings::Parity::Mark;
    case u's':
        return LineSettings::Parity::Space;
    default:
        return std::nullopt;
    }
}

} // namespace

std::optional<LineSettings> parseLineSettings(QStringView text)
{
    const QList<QStringView> fields = text.split(u',');
    if (fields.size() < 4)
        return std::nullopt;
    // The stop-bits field runs to the end of the text.
    const QStringView stopField = text.mid(fields[3].data() - text.data());

    const auto baud = roundToInt32(leadingNumber(fields[0]));
    const auto parity = parityFromLetter(fields[1]);
    const auto dataBits = roundToInt32(leadingNumber(fields[2]));
    const auto stopBits = roundToInt32(leadingNumber(stopField));
    if (!baud || *baud <= 0 || !parity || !dataBits || *dataBits < 5 || *dataBits > 8 || !stopBits
        || (*stopBits != 1 && *stopBits != 2))
        return std::nullopt;
    return LineSettings { *baud, *parity, *dataBits, *stopBits };
}
