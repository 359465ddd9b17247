#include "core/settings_string.h"

#include "core/leading_number.h"
#include "core/line_settings.h"

#include <algorithm>
#include <initializer_list>
#include <optional>

namespace {

// Exactly these eight: 56000 and 112000 stand where the common 57600 and 115200 would.
constexpr std::initializer_list<qint32> kBaudRates
    = { 1200, 2400, 4800, 9600, 19200, 38400, 56000, 112000 };
constexpr std::initializer_list<qint32> kDataBits = { 7, 8 };
constexpr std::initializer_list<qint32> kStopBits = { 1, 2 };
constexpr QStringView kParityLetters = u"nNeEoOmMsS";

bool readsOneOf(QStringView field, std::initializer_list<qint32> allowed)
{
    const std::optional<qint32> value = roundToInt32(leadingNumber(field));
    return value && std::ranges::find(allowed, *value) != allowed.end();
}

} // namespace

bool IsValidSettingsString(QStringView text)
{
    QStringView rest = text;
    // Cuts the field before the next comma off the rest; nothing when no comma is left.
    auto nextField = [&rest]() -> std::optional<QStringView> {
        const qsizetype comma = rest.indexOf(u',');
        if (comma < 0)
            return std::nullopt;
        const QStringView field = rest.first(comma);
        rest = rest.sliced(comma + 1);
        return field;
    };

    const std::optional<QStringView> baud = nextField();
    if (!baud || !readsOneOf(*baud, kBaudRates))
        return false;
    const std::optional<QStringView> parity = nextField();
    if (!parity || parity->size() != 1 || !kParityLetters.contains(parity->front()))
        return false;
    const std::optional<QStringView> dataBits = nextField();
    if (!dataBits || !readsOneOf(*dataBits, kDataBits))
        return false;
    return readsOneOf(rest, kStopBits);
}
