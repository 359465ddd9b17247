#include "settings_file/settings_format.h"

#include "core/leading_number.h"
#include "core/settings_controls.h"

#include <QIODevice>
#include <QStringDecoder>
#include <QStringEncoder>

#include <algorithm>
#include <bitset>
#include <optional>
#include <vector>

using namespace Qt::Literals::StringLiterals;

namespace {

constexpr char kCharset[] = "windows-1252";

QString nameOf(const char16_t* name)
{
    return QString::fromUtf16(name);
}

template <std::size_t N> std::array<QString, N> namesOf(const std::array<const char16_t*, N>& row)
{
    std::array<QString, N> names;
    std::transform(row.begin(), row.end(), names.begin(), nameOf);
    return names;
}

const QString kDhcp = nameOf(SettingsControls::kDhcp);
const QString kFtp = nameOf(SettingsControls::kFtp);
const std::array<QString, 4> kIpBoxes = namesOf(SettingsControls::kIpAddress);
const std::array<QString, 6> kMacBoxes = namesOf(SettingsControls::kMacAddress);
const std::array<QString, 4> kMailServerBoxes = namesOf(SettingsControls::kMailServerAddress);
const QString kSender = nameOf(SettingsControls::kSender);
const QString kReceiver = nameOf(SettingsControls::kReceiver);
const QString kHost = nameOf(SettingsControls::kHost);
const QString kUserName = nameOf(SettingsControls::kUserName);
const QString kPassword = nameOf(SettingsControls::kPassword);

// ---- Writer ----

// One line of the file, and the field whose text it carries (for the message when a character of
// it cannot be stored).
struct Line
{
    QString text;
    QString field;
};

// The byte an address box stands for, as two upper-case hexadecimal digits; a number that is no
// byte is refused, so that a line never holds more than two digits a byte.
Result<QString> hexByte(const QString& octet, const QString& row)
{
    const double value = octetValue(octet);
    if (!(value >= 0 && value <= 255))
        return Failure {
            u"The %1 holds \"%2\", which is no byte: give a number from 0 to 255."_s.arg(row, octet)
        };
    return PadHexByte(QString::number(static_cast<int>(value), 16).toUpper());
}

// The four bytes of an address row as the two values of its keys.
Result<std::array<QString, 2>> octetPairs(const std::array<QString, 4>& row, const QString& name)
{
    std::array<QString, 4> bytes;
    for (std::size_t i = 0; i < row.size(); ++i) {
        Result<QString> byte = hexByte(row[i], name);
        if (!byte.ok())
            return Failure { byte.error() };
        bytes[i] = byte.value();
    }
    return std::array<QString, 2> { bytes[0] + bytes[1], bytes[2] + bytes[3] };
}

// The MAC row's three values. A box of one digit is written with its leading zero and an empty
// box among filled ones as "00", so the file reads back as the same six bytes; a row left empty
// is written empty.
std::array<QString, 3> macValues(const std::array<QString, 6>& row)
{
    const bool empty
        = std::all_of(row.begin(), row.end(), [](const QString& t) { return t.isEmpty(); });
    std::array<QString, 3> values;
    for (std::size_t i = 0; i < row.size(); ++i)
        values[i / 2] += empty ? QString() : row[i].isEmpty() ? u"00"_s : PadHexByte(row[i]);
    return values;
}

Result<std::vector<Line>> settingsLines(const ServerSettings& s)
{
    const bool dhcpOn = s.dhcp == 1;
    const bool ftpOn = s.ftp == 1;
    // The IP octets are not written at all while DHCP is on, so they cannot fail then.
    const Result<std::array<QString, 2>> ip = dhcpOn
        ? Result<std::array<QString, 2>>(std::array<QString, 2> {})
        : octetPairs(s.ipAddress, u"IP Address"_s);
    if (!ip.ok())
        return Failure { ip.error() };
    const Result<std::array<QString, 2>> mail
        = octetPairs(s.mailServerAddress, u"Email server IP address"_s);
    if (!mail.ok())
        return Failure { mail.error() };
    const std::array<QString, 3> mac = macValues(s.macAddress);

    std::vector<Line> lines;
    lines.push_back({ u"[System]"_s, {} });
    lines.push_back({ dhcpOn ? u"DHCP=1"_s : u"DHCP=0"_s, {} });
    if (!dhcpOn) {
        lines.push_back({ u"IP0="_s + ip.value()[0], {} });
        lines.push_back({ u"IP1="_s + ip.value()[1], {} });
    }
    const QString macField = u"MAC Address"_s;
    lines.push_back({ u"MAC0="_s + mac[0], macField });
    lines.push_back({ u"MAC1="_s + mac[1], macField });
    lines.push_back({ u"MAC2="_s + mac[2], macField });
    lines.push_back({ u"[SMTP]"_s, {} });
    lines.push_back({ u"sender="_s + s.sender, u"Sender Address"_s });
    lines.push_back({ u"receiver="_s + s.receiver, u"Receiver Address"_s });
    lines.push_back({ u"host="_s + s.host, u"Host"_s });
    lines.push_back({ u"maillp0="_s + mail.value()[0], {} });
    lines.push_back({ u"maillp1="_s + mail.value()[1], {} });
    lines.push_back({ u"[FTP]"_s, {} });
    lines.push_back({ ftpOn ? u"FTP=1"_s : u"FTP=0"_s, {} });
    if (ftpOn) {
        lines.push_back({ u"Username="_s + s.userName, u"User Name"_s });
        lines.push_back({ u"Password="_s + s.password, u"Password"_s });
    }
    return lines;
}

// A comma inside a value would end the value there, and the reader would lose the rest of the
// file (a comma at the end ends the reading): such a value cannot be stored as it is.
bool holdsSeparator(const Line& line)
{
    return !line.field.isEmpty() && line.text.indexOf(u',', line.text.indexOf(u'=')) >= 0;
}

QString unstorable(const Line& line, const QString& character)
{
    return u"The %1 holds \"%2\", a character that a settings file cannot store."_s.arg(
        line.field, character);
}

QString unstorableCharacter(const Line& line)
{
    QString character;
    QStringEncoder encoder(kCharset);
    for (const char32_t c : line.text.toUcs4()) {
        character = QString::fromUcs4(&c, 1);
        const QByteArray encoded = encoder(character);
        if (encoder.hasError())
            break;
    }
    return unstorable(line, character);
}

// ---- Reader ----

enum class Effect { Switch, OctetPair, CharacterPair, Text };

struct Key
{
    QByteArrayView key;
    Effect effect;
    QString first;
    QString second = {}; // the second box of a pair
    int switchValue = 0; // the value a switch key gives its check box
};

// Every item is tested against all of these, in this order; each key found anywhere in the item
// takes effect. A slice or text starts right after the key's length, counted from the item's
// start wherever the key was found.
const std::array<Key, 16> kKeys { {
    { "DHCP=0", Effect::Switch, kDhcp, {}, 0 },
    { "DHCP=1", Effect::Switch, kDhcp, {}, 1 },
    { "IP0=", Effect::OctetPair, kIpBoxes[0], kIpBoxes[1] },
    { "IP1=", Effect::OctetPair, kIpBoxes[2], kIpBoxes[3] },
    { "MAC0=", Effect::CharacterPair, kMacBoxes[0], kMacBoxes[1] },
    { "MAC1=", Effect::CharacterPair, kMacBoxes[2], kMacBoxes[3] },
    { "MAC2=", Effect::CharacterPair, kMacBoxes[4], kMacBoxes[5] },
    { "sender=", Effect::Text, kSender },
    { "receiver=", Effect::Text, kReceiver },
    { "host=", Effect::Text, kHost },
    { "maillp0=", Effect::OctetPair, kMailServerBoxes[0], kMailServerBoxes[1] },
    { "maillp1=", Effect::OctetPair, kMailServerBoxes[2], kMailServerBoxes[3] },
    { "FTP=0", Effect::Switch, kFtp, {}, 0 },
    { "FTP=1", Effect::Switch, kFtp, {}, 1 },
    { "Username=", Effect::Text, kUserName },
    { "Password=", Effect::Text, kPassword },
} };

constexpr qsizetype kLongestKey = 9; // "receiver=", "Username=", "Password="
// The start of an item that is kept: enough for the longest text after the longest key.
constexpr qsizetype kKeptLength = kLongestKey + kMaxTextLength;

struct Item
{
    QByteArray head; // the item's first kKeptLength bytes, after its leading spaces
    std::bitset<kKeys.size()> keys; // the keys found anywhere in the whole item
};

// The device's bytes in chunks, so that neither a huge file nor a huge line is held whole.
class ItemReader
{
public:
    explicit ItemReader(QIODevice& device)
        : m_device(device)
    { }

    /// No byte left. Fails through failure() when the device fails.
    bool atEnd() { return !fill(); }
    Result<> failure() const { return m_failure; }

    /// Reads the next item, with the line end or comma that ends it.
    Item next()
    {
        Item item;
        while (fill() && m_buffer.at(m_pos) == ' ')
            ++m_pos;
        // The item's last bytes before the piece at hand, for a key split between two reads.
        QByteArray before;
        qsizetype length = 0;
        while (fill()) {
            const QByteArrayView buffered = QByteArrayView(m_buffer).first(m_size).sliced(m_pos);
            const auto end = std::find_if(buffered.begin(), buffered.end(),
                [](char c) { return c == ',' || c == '\n' || c == '\r'; });
            const QByteArrayView piece = buffered.first(end - buffered.begin());
            if (length < kKeptLength)
                item.head.append(piece.first(std::min(piece.size(), kKeptLength - length)));
            length += piece.size();
            m_pos += piece.size();
            const QByteArray scanned = QByteArray(before).append(piece);
            for (std::size_t k = 0; k < kKeys.size(); ++k) {
                if (scanned.contains(kKeys[k].key))
                    item.keys.set(k);
            }
            before = scanned.right(kLongestKey - 1);
            if (end != buffered.end()) {
                const char terminator = m_buffer.at(m_pos++);
                if (terminator == '\r' && fill() && m_buffer.at(m_pos) == '\n')
                    ++m_pos;
                break;
            }
        }
        return item;
    }

private:
    // True when a byte is waiting at m_pos.
    bool fill()
    {
        if (m_pos < m_size)
            return true;
        if (!m_failure.ok())
            return false;
        m_size = m_device.read(m_buffer.data(), static_cast<qint64>(m_buffer.size()));
        m_pos = 0;
        if (m_size < 0) {
            m_failure = Failure { m_device.errorString() };
            m_size = 0;
        }
        return m_size > 0;
    }

    QIODevice& m_device;
    QByteArray m_buffer { 64 * 1024, Qt::Uninitialized };
    qsizetype m_pos = 0;
    qsizetype m_size = 0;
    Result<> m_failure;
};

// The lenient reading of a two-character hexadecimal slice: spaces and tabs dropped, then hex
// digits from the left up to the first other character; none reads as 0.
QString octetOf(QByteArrayView slice)
{
    int value = 0;
    for (const char c : slice) {
        if (c == ' ' || c == '\t')
            continue;
        const int digit = (c >= '0' && c <= '9') ? c - '0'
            : (c >= 'A' && c <= 'F')             ? c - 'A' + 10
            : (c >= 'a' && c <= 'f')             ? c - 'a' + 10
                                                 : -1;
        if (digit < 0)
            break;
        value = value * 16 + digit;
    }
    return QString::number(value);
}

void applyItem(const Item& item, QStringDecoder& decoder,
    const std::function<void(const SettingsAssignment&)>& apply)
{
    const QByteArrayView head(item.head);
    const auto slice = [&](qsizetype from, qsizetype length) {
        return from < head.size() ? head.sliced(from, std::min(length, head.size() - from))
                                  : QByteArrayView();
    };
    for (std::size_t k = 0; k < kKeys.size(); ++k) {
        if (!item.keys.test(k))
            continue;
        const Key& key = kKeys[k];
        const qsizetype at = key.key.size();
        switch (key.effect) {
        case Effect::Switch:
            apply({ key.first, key.switchValue });
            break;
        case Effect::OctetPair:
            apply({ key.first, octetOf(slice(at, 2)) });
            apply({ key.second, octetOf(slice(at + 2, 2)) });
            break;
        case Effect::CharacterPair:
            apply({ key.first, QString(decoder(slice(at, 2))) });
            apply({ key.second, QString(decoder(slice(at + 2, 2))) });
            break;
        case Effect::Text:
            apply({ key.first, QString(decoder(slice(at, kMaxTextLength))) });
            break;
        }
    }
}

} // namespace

ServerSettings collectServerSettings(const std::function<QString(const QString&)>& textOf,
    const std::function<int(const QString&)>& checkValueOf)
{
    ServerSettings s;
    s.dhcp = checkValueOf(kDhcp);
    for (std::size_t i = 0; i < kIpBoxes.size(); ++i)
        s.ipAddress[i] = textOf(kIpBoxes[i]);
    for (std::size_t i = 0; i < kMacBoxes.size(); ++i)
        s.macAddress[i] = textOf(kMacBoxes[i]);
    s.sender = textOf(kSender);
    s.receiver = textOf(kReceiver);
    s.host = textOf(kHost);
    for (std::size_t i = 0; i < kMailServerBoxes.size(); ++i)
        s.mailServerAddress[i] = textOf(kMailServerBoxes[i]);
    s.ftp = checkValueOf(kFtp);
    s.userName = textOf(kUserName);
    s.password = textOf(kPassword);
    return s;
}

QString PadHexByte(const QString& text)
{
    return text.size() < 2 ? u'0' + text : text;
}

Result<QByteArray> writeSettings(QIODevice& device, const ServerSettings& settings)
{
    const Result<std::vector<Line>> lines = settingsLines(settings);
    if (!lines.ok())
        return Failure { lines.error() };
    QByteArray bytes;
    for (const Line& line : lines.value()) {
        if (holdsSeparator(line))
            return Failure { unstorable(line, u","_s) };
        QStringEncoder encoder(kCharset);
        bytes += encoder(line.text);
        if (encoder.hasError())
            return Failure { unstorableCharacter(line) };
        bytes += "\r\n";
    }
    // A short write is no failure yet: writing the rest either goes on or fails with the reason
    // (a full disk), which the short write itself does not report.
    for (qsizetype done = 0; done < bytes.size();) {
        const qint64 written = device.write(bytes.constData() + done, bytes.size() - done);
        if (written <= 0)
            return Failure { device.errorString() };
        done += written;
    }
    return bytes;
}

Result<> readSettings(
    QIODevice& device, const std::function<void(const SettingsAssignment&)>& apply)
{
    ItemReader reader(device);
    if (reader.atEnd())
        return reader.failure().ok() ? Failure { u"The settings file is empty."_s }
                                     : reader.failure();
    QStringDecoder decoder(kCharset);
    Item item = reader.next();
    while (reader.failure().ok() && item.head.isEmpty() && !reader.atEnd())
        item = reader.next();
    // An item cut short by a failing device is not applied.
    while (reader.failure().ok() && !item.head.isEmpty()) {
        applyItem(item, decoder, apply);
        if (reader.atEnd())
            break;
        item = reader.next();
    }
    return reader.failure();
}
