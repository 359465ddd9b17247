#include "testkit/pty_pair.h"

bool startSocat(QProcess& socat, const QStringList& addresses)
{
    socat.setReadChannel(QProcess::StandardError);
    socat.start(QStringLiteral("socat"),
        QStringList { QStringLiteral("-d"), QStringLiteral("-d") } + addresses);
    QByteArray said;
    while (!said.contains("starting data transfer loop") && socat.waitForReadyRead(5000))
        said += socat.readAllStandardError();
    return said.contains("starting data transfer loop");
}

PtyPair::PtyPair()
{
    m_ready = startSocat(m_socat,
        { QStringLiteral("pty,raw,echo=0,link=%1").arg(endA()),
            QStringLiteral("pty,raw,echo=0,link=%1").arg(endB()) });
}

PtyPair::~PtyPair()
{
    m_socat.terminate();
    if (!m_socat.waitForFinished(2000))
        m_socat.kill();
    m_socat.waitForFinished(2000);
}
