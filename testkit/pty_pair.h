#pragma once

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

/// Starts socat (with its notices on, read here) joining the two addresses; true once both are
/// open, so that the links their `link=` options name exist.
bool startSocat(QProcess& socat, const QStringList& addresses);

/// A pair of connected pseudo-terminals made by socat: what is written to one end can be
/// read at the other, as over a null-modem cable. Ends with the object.
class PtyPair
{
public:
    PtyPair();
    ~PtyPair();
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    /// True when both ends exist.
    bool isReady() const { return m_ready; }
    QString endA() const { return m_dir.filePath(QStringLiteral("A")); }
    QString endB() const { return m_dir.filePath(QStringLiteral("B")); }

private:
    QTemporaryDir m_dir;
    QProcess m_socat;
    bool m_ready = false;
};
