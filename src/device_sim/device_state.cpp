#include "device_sim/device_state.h"

#include <QBuffer>
#include <QHash>

#include <variant>

using namespace Qt::Literals::StringLiterals;

QString protocolName(UploadProtocol protocol)
{
    switch (protocol) {
    case UploadProtocol::Plain:
        return u"plain"_s;
    case UploadProtocol::Xmodem:
        return u"XMODEM"_s;
    case UploadProtocol::Ymodem:
        return u"YMODEM"_s;
    case UploadProtocol::Zmodem:
        break;
    }
    return u"ZMODEM"_s;
}

std::optional<UploadProtocol> protocolFromText(const QString& text)
{
    for (const UploadProtocol p : { UploadProtocol::Plain, UploadProtocol::Xmodem,
             UploadProtocol::Ymodem, UploadProtocol::Zmodem }) {
        if (text == QString::number(static_cast<int>(p))
            || text.compare(protocolName(p), Qt::CaseInsensitive) == 0)
            return p;
    }
    return std::nullopt;
}

Result<ServerSettings> parseUploadedSettings(const QByteArray& bytes)
{
    QByteArray data = bytes;
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    // The server keeps what the file says, as it says it: no entry rules run here.
    QHash<QString, QString> texts;
    QHash<QString, int> checkValues;
    const Result<> read = readSettings(buffer, [&](const SettingsAssignment& a) {
        if (const auto* text = std::get_if<QString>(&a.value))
            texts.insert(a.control, *text);
        else
            checkValues.insert(a.control, std::get<int>(a.value));
    });
    if (!read.ok())
        return Failure { read.error() };
    if (texts.isEmpty() && checkValues.isEmpty())
        return Failure { u"no setting in it"_s };
    // A switch the file does not name keeps the server's default: on.
    return collectServerSettings([&texts](const QString& name) { return texts.value(name); },
        [&checkValues](const QString& name) { return checkValues.value(name, 1); });
}
