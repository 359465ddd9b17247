#include "testkit/lrzsz_receiver.h"
#include "testkit/file_contents.h"
#include "testkit/pty_pair.h"

#include <QDir>
#include <QFile>

LrzszReceiver::LrzszReceiver(const QStringList& command)
{
    QDir().mkpath(folder());
    m_socat.setWorkingDirectory(folder());
    m_ready = startSocat(m_socat,
        { QStringLiteral("pty,raw,echo=0,link=%1").arg(devicePath()),
            QStringLiteral("EXEC:%1").arg(command.join(u' ')) });
}

LrzszReceiver::~LrzszReceiver()
{
    if (m_socat.state() == QProcess::NotRunning)
        return;
    m_socat.terminate();
    if (!m_socat.waitForFinished(2000))
        m_socat.kill();
    m_socat.waitForFinished(2000);
}

QByteArray LrzszReceiver::received(const QString& name) const
{
    return fileContents(QDir(folder()).filePath(name));
}

bool LrzszReceiver::waitForExit(int timeoutMs)
{
    return m_socat.state() == QProcess::NotRunning || m_socat.waitForFinished(timeoutMs);
}
