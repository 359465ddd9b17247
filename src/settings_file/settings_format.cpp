#include "settings_file/settings_format.h"

#include "core/leading_number.h"
#include "core/settings_controls.h"

#include <QIODevice>
#include <QStringDecoder>
#include <QStringEncoder>

#include <algorithm>
#include <bitset>
#include <limits>
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

// The octet's number in upper-case hexadecimal as files from the original platform hold it: a
// negative one as its 32-bit two's complement; nothing beyond the 32-bit range.
std::optional<QString> hexOf(const QString& octet)
{
    const double value = octetValue(octet);
    if (!(value >= std::numeric_limits<qint32>::min()
            && value <= std::numeric_limits<qint32>::max()))
        return std::nullopt;
    const auto bits = static_cast<quint32>(static_cast<qint32>(value));
    return QString::number(bits, 16).toUpper();
}

std::optional<QString> octetPair(const QString& first, const QString& second)
{
    const std::optional<QString> high = hexOf(first);
    const std::optional<QString> low = hexOf(second);
    if (!high || !low)
        return std::nullopt;
    return PadHexByte(*high) + PadHexByte(*low);
}

std::optional<std::vector<Line>> settingsLines(const ServerSettings& s)
{
    const auto ip0 = octetPair(s.ipAddress[0], s.ipAddress[1]);
    const auto ip1 = octetPair(s.ipAddress[2], s.ipAddress[3]);
    const auto mail0 = octetPair(s.mailServerAddress[0], s.mailServerAddress[1]);
    const auto mail1 = octetPair(s.mailServerAddress[2], s.mailServerAddress[3]);
    const bool dhcpOn = s.dhcp == 1;
    const bool ftpOn = s.ftp == 1;
    // The IP octets are not written at all while DHCP is on, so they cannot fail then.
    if ((!dhcpOn && (!ip0 || !ip1)) || !mail0 || !mail1)
        return std::nullopt;

    std::vector<Line> lines;
    lines.push_back({ u"[System]"_s, {} });
    lines.push_back({ dhcpOn ? u"DHCP=1"_s : u"DHCP=0"_s, {} });
    if (!dhcpOn) {
        lines.push_back({ u"IP0="_s + *ip0, {} });
        lines.push_back({ u"IP1="_s + *ip1, {} });
    }
    const QString mac = u"MAC Address"_s;
    lines.push_back({ u"MAC0="_s + s.macAddress[0] + s.macAddress[1], mac });
    lines.push_back({ u"MAC1="_s + s.macAddress[2] + s.macAddress[3], mac });
    lines.push_back({ u"MAC2="_s + s.macAddress[4] + s.macAddress[5], mac });
    lines.push_back({ u"[SMTP]"_s, {} });
    lines.push_back({ u"sender="_s + s.sender, u"Sender Address"_s });
    lines.push_back({ u"receiver="_s + s.receiver, u"Receiver Address"_s });
    lines.push_back({ u"host="_s + s.host, u"Host"_s });
    lines.push_back({ u"maillp0="_s + *mail0, {} });
    lines.push_back({ u"maillp1="_s + *mail1, {} });
    lines.push_back({ u"[FTP]"_s, {} });
    lines.push_back({ ftpOn ? u"FTP=1"_s : u"FTP=0"_s, {} });
    if (ftpOn) {
        lines.push_back({ u"Username="_s + s.userName, u"User Name"_s });
        lines.push_back({ u"Password="_s + s.password, u"Password"_s });
    }
    return lines;
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
    return u"The %1 holds \"%2\", a character that a settings file cannot store."_s.arg(
        line.field, character);
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

Result<> writeSettings(QIODevice& device, const ServerSettings& settings)
{
    const std::optional<std::vector<Line>> lines = settingsLines(settings);
    if (!lines)
        return Failure { u"An address byte is out of range."_s };
    QByteArray bytes;
    for (const Line& line : *lines) {
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
    return {};
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
