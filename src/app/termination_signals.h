#pragma once

#include <QObject>

#include <initializer_list>

/// Termination signals turned into a Qt signal on the event loop (a self-pipe: the handler only
/// writes a byte). One object at a time in the process.
class TerminationSignals : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    /// Catches these signals from now on. Should the pipe not be made, they keep their default
    /// action and this gives false.
    bool catchSignals(std::initializer_list<int> signalNumbers);

signals:
    /// One of the signals arrived (several that arrive together may make one call).
    void received();
};
