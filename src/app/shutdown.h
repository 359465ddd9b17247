#pragma once

#include <QObject>

#include <memory>

class frmMain;
class frmWait;
class SaxComm;

/// The one way the program ends. The Exit item and every close request of the main window are
/// refused and begin the shutdown: the wait window, the busy cursor over the main window and
/// Timer1. When Timer1 ticks, one second after the first request, the serial port is closed and
/// the process ends at once, without closing any window.
class Shutdown : public QObject
{
    Q_OBJECT

public:
    /// Takes over the main window's Exit item, its close requests and Timer1.
    Shutdown(frmMain& window, SaxComm& comm, QObject* parent = nullptr);
    ~Shutdown() override;

    /// Makes SIGTERM, SIGINT and SIGHUP and the desktop session's logout request close requests
    /// too. Call it once; should the signal pipe not be made, the signals keep their default
    /// action.
    void catchTerminationRequests();

    /// Begins the shutdown. A request while it is under way changes nothing: the process still
    /// ends one second after the first.
    void begin();

private:
    [[noreturn]] void finish();

    frmMain& m_window;
    SaxComm& m_comm;
    std::unique_ptr<frmWait> m_wait;
};
