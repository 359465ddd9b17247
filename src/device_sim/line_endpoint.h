#pragma once

#include "core/result.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <memory>

/// The server's end of the serial line: a pseudo-terminal whose other end the terminal opens
/// as its port, or a real serial device.
class LineEndpoint : public QObject
{
    Q_OBJECT

public:
    /// A new pseudo-terminal pair; the terminal is to open terminalSidePath().
    static Result<std::unique_ptr<LineEndpoint>> openPseudoTerminal();
    /// A serial device at 9600 baud, no parity, 8 data bits, 1 stop bit.
    static Result<std::unique_ptr<LineEndpoint>> openDevice(const QString& path);

    /// The device the terminal opens as its port.
    virtual QString terminalSidePath() const = 0;
    virtual void send(const QByteArray& bytes) = 0;

signals:
    void received(const QByteArray& bytes);
};
