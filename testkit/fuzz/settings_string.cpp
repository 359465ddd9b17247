// The settings-string check and the line-settings reading on arbitrary text: they must agree,
// as their contracts say, and what they accept must be a setting a port can take.

#include "core/settings_string.h"
#include "core/leading_number.h"
#include "core/line_settings.h"
#include "fuzz_check.h"

#include <QString>
#include <QStringList>

#include <cstdint>

namespace {

constexpr qint32 kCheckedRates[] = { 1200, 2400, 4800, 9600, 19200, 38400, 56000, 112000 };

bool isCheckedRate(qint32 rate)
{
    return std::find(std::begin(kCheckedRates), std::end(kCheckedRates), rate)
        != std::end(kCheckedRates);
}

QString parityLetter(LineSettings::Parity parity)
{
    switch (parity) {
    case LineSettings::Parity::None:
        return "n";
    case LineSettings::Parity::Even:
        return "e";
    case LineSettings::Parity::Odd:
        return "o";
    case LineSettings::Parity::Mark:
        return "m";
    case LineSettings::Parity::Space:
        return "s";
    }
    return {};
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    const bool valid = IsValidSettingsString(text);
    const std::optional<LineSettings> line = parseLineSettings(text);

    if (line) {
        FUZZ_CHECK(line->baudRate > 0, "a port setting with no positive speed");
        FUZZ_CHECK(line->dataBits >= 5 && line->dataBits <= 8, "data bits outside 5 to 8");
        FUZZ_CHECK(line->stopBits == 1 || line->stopBits == 2, "stop bits other than 1 or 2");
        // The setting written plainly reads back as itself.
        const QString plain = QString("%1,%2,%3,%4")
                                  .arg(line->baudRate)
                                  .arg(parityLetter(line->parity))
                                  .arg(line->dataBits)
                                  .arg(line->stopBits);
        FUZZ_CHECK(parseLineSettings(plain) == line, "a setting written plainly reads otherwise");
        FUZZ_CHECK(
            IsValidSettingsString(plain) == (isCheckedRate(line->baudRate) && line->dataBits >= 7),
            "the check judges a plainly written setting wrongly");
    }
    if (valid) {
        FUZZ_CHECK(line, "the check accepts a text the port settings cannot be read from");
        FUZZ_CHECK(isCheckedRate(line->baudRate), "the check accepts a speed outside its list");
        FUZZ_CHECK(
            line->dataBits == 7 || line->dataBits == 8, "the check accepts 5 or 6 data bits");
    }
    // The converse, where the two readings have the same rules: a parity field of exactly one
    // letter (the reading also takes one with blanks around it), a listed speed, 7 or 8 bits.
    const QStringList fields = text.split(',');
    if (line && fields[1].size() == 1 && isCheckedRate(line->baudRate) && line->dataBits >= 7)
        FUZZ_CHECK(valid, "the check refuses a text that reads as a listed setting");
    return 0;
}
