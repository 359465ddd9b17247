#include "core/addresses.h"

#include "core/leading_number.h"

#include <QDir>
#include <QUrl>

#include <algorithm>

namespace {

bool isDecimalDigits(const QString& text)
{
    // QChar::isDigit() would also take other scripts' digits, which octetValue() reads as 0.
    return !text.isEmpty()
        && std::all_of(text.begin(), text.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
}

} // namespace

std::optional<QString> decimalAddress(const QStringList& octets)
{
    QStringList parts;
    for (const QString& octet : octets) {
        if (!isDecimalDigits(octet))
            return std::nullopt;
        const double value = octetValue(octet);
        if (value > 255)
            return std::nullopt;
        parts.append(QString::number(static_cast<int>(value)));
    }
    return parts.join(u'.');
}

QString hostAddress(const QStringList& octets)
{
    // ping and the web engine read a part with a leading zero as octal ("010" as 8) and fail on
    // "009", while the settings file writes it as decimal: the tools get the address the file
    // configures. Texts that make no address go unchanged, so the tool gives its own error.
    return decimalAddress(octets).value_or(octets.join(u'.'));
}

QString serverAddress(const QStringList& octets)
{
    return QStringLiteral("http://") + hostAddress(octets);
}

QString helpAddress(const QString& directory)
{
    const QString fileName = QStringLiteral("help.htm");
    if (directory.startsWith(u'/'))
        return QUrl::fromLocalFile(QDir(directory).filePath(fileName)).toString();
    return QStringLiteral("file:///") + directory + u'/' + fileName;
}
