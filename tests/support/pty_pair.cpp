#include "support/pty_pair.h"

#include <QDeadlineTimer>
#include <QFileInfo>
#include <QThread>

PtyPair::PtyPair()
{
    m_socat.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_socat.start(QStringLiteral("socat"),
        { QStringLiteral("pty,raw,echo=0,link=%1").arg(endA()),
            QStringLiteral("pty,raw,echo=0,link=%1").arg(endB()) });
    if (!m_socat.waitForStarted(5000))
        return;
    const QDeadlineTimer deadline(5000);
    while (!deadline.hasExpired()) {
        if (QFileInfo::exists(endA()) && QFileInfo::exists(endB())) {
            m_ready = true;
            return;
        }
        QThread::msleep(10);
    }
}

PtyPair::~PtyPair()
{
    m_socat.terminate();
    if (!m_socat.waitForFinished(2000))
        m_socat.kill();
    m_socat.waitForFinished(2000);
}
