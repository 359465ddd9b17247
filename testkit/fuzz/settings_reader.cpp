// The settings file reader on arbitrary bytes: what it reads must be what the window's boxes can
// hold, must not depend on how the device hands the bytes over, and must save and read back the
// same.

#include "fuzz_check.h"
#include "settings_file/settings_format.h"

#include <QBuffer>
#include <QStringEncoder>

#include <cstdint>
#include <map>

namespace {

// The keys of the format, as a file holds them.
constexpr const char* kKeys[]
    = { "DHCP=0", "DHCP=1", "IP0=", "IP1=", "MAC0=", "MAC1=", "MAC2=", "sender=", "receiver=",
          "host=", "maillp0=", "maillp1=", "FTP=0", "FTP=1", "Username=", "Password=" };

// A device that hands over at most a few bytes per read, so that keys and line ends fall
// across reads.
class TricklingDevice final : public QIODevice
{
public:
    TricklingDevice(QByteArray data, qint64 step)
        : m_data(std::move(data))
        , m_step(step)
    {
        open(QIODevice::ReadOnly | QIODevice::Unbuffered);
    }

    bool isSequential() const override { return true; }

protected:
    qint64 readData(char* to, qint64 max) override
    {
        const qint64 n = std::min({ max, m_step, qint64(m_data.size()) - m_pos });
        std::copy_n(m_data.constData() + m_pos, n, to);
        m_pos += n;
        return n;
    }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    QByteArray m_data;
    qint64 m_step;
    qint64 m_pos = 0;
};

struct Reading
{
    QList<SettingsAssignment> assignments;
    Result<> failure;
};

Reading read(QIODevice& device)
{
    Reading reading;
    reading.failure
        = readSettings(device, [&](const SettingsAssignment& a) { reading.assignments.append(a); });
    return reading;
}

Reading readBytes(const QByteArray& bytes)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    return read(buffer);
}

enum class Kind { Switch, Octet, Character, Text };

// What each control may be given.
const std::map<QString, Kind>& controls()
{
    static const std::map<QString, Kind> kinds = [] {
        std::map<QString, Kind> k { { "chkDHCP", Kind::Switch }, { "chkFTP", Kind::Switch },
            { "txtSenderAddress", Kind::Text }, { "txtReceiverAddress", Kind::Text },
            { "txtHost", Kind::Text }, { "txtUserName", Kind::Text },
            { "txtPassword", Kind::Text } };
        for (const char* suffix : { "", "2", "3", "4" }) {
            k[QString("txtIpAddress") + suffix] = Kind::Octet;
            k[QString("txtEmailServerAddress") + suffix] = Kind::Octet;
        }
        for (const char* suffix : { "", "2", "3", "4", "5", "6" })
            k[QString("txtMacAddress") + suffix] = Kind::Character;
        return k;
    }();
    return kinds;
}

void checkAssignment(const SettingsAssignment& a)
{
    const auto kind = controls().find(a.control);
    FUZZ_CHECK(kind != controls().end(), "an assignment names an unknown control");
    if (kind->second == Kind::Switch) {
        const int* value = std::get_if<int>(&a.value);
        FUZZ_CHECK(
            value && (*value == 0 || *value == 1), "a switch is given a value other than 0/1");
        return;
    }
    const QString* text = std::get_if<QString>(&a.value);
    FUZZ_CHECK(text, "a text box is given a number");
    FUZZ_CHECK(!text->contains(',') && !text->contains('\r') && !text->contains('\n'),
        "a value runs past the end of its item");
    QStringEncoder encoder("windows-1252");
    const QByteArray encoded = encoder(*text);
    FUZZ_CHECK(!encoder.hasError() && encoded.size() == text->size(),
        "a value read does not encode back to its bytes");
    switch (kind->second) {
    case Kind::Octet: {
        bool ok = false;
        const int value = text->toInt(&ok);
        FUZZ_CHECK(ok && value >= 0 && value <= 255 && *text == QString::number(value),
            "an address byte is not a number from 0 to 255");
        break;
    }
    case Kind::Character:
        FUZZ_CHECK(text->size() <= 2, "a MAC box is given more than two characters");
        break;
    case Kind::Text:
        FUZZ_CHECK(text->size() <= kMaxTextLength, "a text is longer than a text box holds");
        break;
    case Kind::Switch:
        break;
    }
}

// The settings as the window's boxes hold them after these assignments, from a fresh window.
ServerSettings settingsAfter(const QList<SettingsAssignment>& assignments)
{
    std::map<QString, QString> texts;
    std::map<QString, int> checks { { "chkDHCP", 1 }, { "chkFTP", 1 } };
    for (const SettingsAssignment& a : assignments) {
        if (const int* value = std::get_if<int>(&a.value))
            checks[a.control] = *value;
        else
            texts[a.control] = std::get<QString>(a.value);
    }
    return collectServerSettings([&](const QString& name) { return texts[name]; },
        [&](const QString& name) { return checks[name]; });
}

QByteArray written(const ServerSettings& settings)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    FUZZ_CHECK(writeSettings(buffer, settings).ok(), "settings that were read cannot be saved");
    return buffer.data();
}

// The texts the writer puts on the line after a key; a key inside one of them is read again
// where it stands, which is the format's own rule and not a fault.
bool holdsAKey(const ServerSettings& s)
{
    QStringList texts { s.sender, s.receiver, s.host, s.userName, s.password };
    // A MAC line holds two boxes' texts side by side.
    for (std::size_t i = 0; i < s.macAddress.size(); i += 2)
        texts << s.macAddress[i] + s.macAddress[i + 1];
    for (const QString& text : texts) {
        for (const char* key : kKeys) {
            if (text.contains(QLatin1String(key)))
                return true;
        }
    }
    return false;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const Reading whole = readBytes(bytes);
    FUZZ_CHECK(!whole.failure.ok() == bytes.isEmpty(),
        "the reader fails on a readable file, or not on an empty one");
    for (const SettingsAssignment& a : whole.assignments)
        checkAssignment(a);

    TricklingDevice trickle(bytes, size > 0 ? 1 + data[0] % 11 : 1);
    const Reading pieces = read(trickle);
    FUZZ_CHECK(pieces.assignments == whole.assignments && pieces.failure == whole.failure,
        "the bytes read a few at a time give other assignments");

    if (!whole.failure.ok())
        return 0;
    const ServerSettings settings = settingsAfter(whole.assignments);
    const QByteArray saved = written(settings);
    if (holdsAKey(settings))
        return 0;
    const Reading again = readBytes(saved);
    FUZZ_CHECK(again.failure.ok(), "a saved file cannot be read");
    FUZZ_CHECK(written(settingsAfter(again.assignments)) == saved,
        "a saved file read back and saved again differs");
    return 0;
}
