#include "device_sim/upload_receiver.h"

#include "device_sim/line_endpoint.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

using namespace Qt::Literals::StringLiterals;

namespace {

constexpr int kPlainSilenceMs = 1000;
constexpr int kRestartDelayMs = 100;
constexpr char kCan = 0x18;

// lrzsz's receivers, binary and overwriting; XMODEM names the file itself and checks with CRC.
QStringList receiverCommand(UploadProtocol protocol)
{
    switch (protocol) {
    case UploadProtocol::Xmodem:
        return { u"rx"_s, u"-b"_s, u"-c"_s, u"server.ini"_s };
    case UploadProtocol::Ymodem:
        return { u"rb"_s, u"-b"_s, u"-y"_s };
    case UploadProtocol::Zmodem:
        return { u"rz"_s, u"-b"_s, u"-y"_s };
    case UploadProtocol::Plain:
        break;
    }
    return {};
}

// What follows the last cancel sequence (two CAN or more, then the backspaces that go with them):
// a cancel ends whatever the terminal sent before it, so a receiver that has heard nothing yet
// is spared both. A ZMODEM sender never sends two CAN in a row otherwise: it escapes them.
QByteArray afterLastCancel(const QByteArray& bytes)
{
    const qsizetype cancel = bytes.lastIndexOf("\x18\x18");
    if (cancel < 0)
        return bytes;
    qsizetype end = cancel;
    while (end < bytes.size() && (bytes.at(end) == kCan || bytes.at(end) == '\b'))
        ++end;
    return bytes.mid(end);
}

} // namespace

UploadReceiver::UploadReceiver(
    LineEndpoint& line, UploadProtocol protocol, QString folder, int giveUpMs)
    : m_line(line)
    , m_protocol(protocol)
    , m_folder(std::move(folder))
{
    m_silence.setSingleShot(true);
    m_silence.setInterval(kPlainSilenceMs);
    connect(&m_silence, &QTimer::timeout, this, &UploadReceiver::plainUploadEnded);
    m_waitLimit.setSingleShot(true);
    m_waitLimit.setInterval(giveUpMs);
    connect(&m_waitLimit, &QTimer::timeout, this, &UploadReceiver::giveUp);
    connect(&m_line, &LineEndpoint::received, this, &UploadReceiver::fromLine);
    m_receiver.setWorkingDirectory(m_folder);
    m_receiver.setProcessChannelMode(QProcess::SeparateChannels);
    m_receiver.setStandardErrorFile(QProcess::nullDevice());
    connect(&m_receiver, &QProcess::readyReadStandardOutput, this,
        [this] { fromReceiver(m_receiver.readAllStandardOutput()); });
    connect(&m_receiver, &QProcess::finished, this,
        [this](int exitCode) { receiverFinished(exitCode); });
}

void UploadReceiver::start()
{
    if (m_protocol == UploadProtocol::Plain)
        m_takesInput = true;
    else
        startReceiver();
}

QString UploadReceiver::receiverProgram() const
{
    return receiverCommand(m_protocol).value(0);
}

void UploadReceiver::startReceiver()
{
    const QStringList command = receiverCommand(m_protocol);
    m_receiver.start(command.first(), command.mid(1));
    m_sinceStart.start();
    if (m_waitLimit.interval() > 0)
        m_waitLimit.start();
}

void UploadReceiver::fromReceiver(const QByteArray& bytes)
{
    if (m_gaveUp || bytes.isEmpty())
        return;
    // Signs of a receiver giving up: rz turns to calling for XMODEM or YMODEM once it has
    // waited long enough for a ZMODEM sender, whose call it then no longer takes (its own
    // headers are lower-case hex, never a 'C'); rx and rb cancel while nobody has spoken to
    // them. What it says on its way out stays here: the next receiver calls instead.
    // Only while nobody has spoken to it: in a session its answers are other bytes.
    if (m_bytesFromTerminal == 0
        && (m_protocol == UploadProtocol::Zmodem ? bytes.contains('C') : bytes.contains(kCan))) {
        giveUp();
        return;
    }
    if (m_bytesFromTerminal == 0 && m_protocol == UploadProtocol::Zmodem) {
        // rz announces itself unasked, again and again while it waits. A ZMODEM sender opens
        // the session itself, so only the latest announcement is kept back, and it goes out as
        // soon as the sender speaks: no stale headers pile up on the line.
        m_heldBack = bytes;
    } else {
        m_line.send(bytes);
    }
    if (m_takesInput)
        return;
    // Its first call: only now is the receiver reading, so what waited for it goes in after the
    // start-up flushes that would have swallowed it.
    m_takesInput = true;
    if (std::exchange(m_announceReady, false))
        emit receiverReady();
    toReceiver(std::exchange(m_forNextReceiver, {}));
}

void UploadReceiver::fromLine(const QByteArray& bytes)
{
    if (m_takesInput)
        toReceiver(bytes);
    else
        m_forNextReceiver += bytes;
}

void UploadReceiver::toReceiver(QByteArray bytes)
{
    if (m_bytesFromTerminal == 0 && m_protocol != UploadProtocol::Plain)
        bytes = afterLastCancel(bytes);
    if (bytes.isEmpty())
        return;
    if (m_bytesFromTerminal == 0) {
        m_waitLimit.stop();
        m_sinceFirstByte.start();
        m_line.send(std::exchange(m_heldBack, {}));
    }
    m_bytesFromTerminal += bytes.size();
    if (m_protocol == UploadProtocol::Plain) {
        m_plain += bytes;
        m_silence.start();
    } else {
        m_receiver.write(bytes);
    }
}

void UploadReceiver::giveUp()
{
    // Stopped outright, so that nothing it would say on its way out reaches the line; what the
    // terminal sends from now on waits for the next receiver.
    m_gaveUp = true;
    m_takesInput = false;
    m_receiver.kill();
}

void UploadReceiver::plainUploadEnded()
{
    emit uploadEnded({ m_protocol, m_sinceFirstByte.elapsed() - kPlainSilenceMs, true,
        std::exchange(m_plain, {}), {} });
    m_bytesFromTerminal = 0;
}

QByteArray UploadReceiver::takeReceivedFile()
{
    const QFileInfoList files = QDir(m_folder).entryInfoList(QDir::Files, QDir::Time);
    if (files.isEmpty())
        return {};
    QFile file(files.first().filePath());
    QByteArray bytes = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    for (const QFileInfo& info : files)
        QFile::remove(info.filePath());
    // XMODEM has no length: the last block comes padded with 0x1A.
    if (m_protocol == UploadProtocol::Xmodem) {
        while (bytes.endsWith('\x1a'))
            bytes.chop(1);
    }
    return bytes;
}

void UploadReceiver::receiverFinished(int exitCode)
{
    m_waitLimit.stop();
    bool arrived = false;
    if (m_bytesFromTerminal > 0 && !m_gaveUp) {
        arrived = !QDir(m_folder).isEmpty(QDir::Files);
        UploadReport report { m_protocol, m_sinceFirstByte.elapsed(), arrived, {}, {} };
        if (arrived)
            report.bytes = takeReceivedFile();
        else
            report.error
                = u"the receiver stopped (exit code %1) and no file arrived"_s.arg(exitCode);
        emit uploadEnded(report);
    } else {
        // No upload: rx opens its file before it calls, and one stopped leaves it behind empty.
        takeReceivedFile();
        emit receiverGaveUp(m_sinceStart.elapsed());
    }
    m_announceReady = !arrived;
    m_gaveUp = false;
    m_takesInput = false;
    m_bytesFromTerminal = 0;
    m_heldBack.clear();
    QTimer::singleShot(kRestartDelayMs, this, &UploadReceiver::startReceiver);
}
