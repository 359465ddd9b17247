#include "app/shutdown.h"

#include "app/termination_signals.h"
#include "core/handler_policy.h"
#include "serial_link/sax_comm.h"
#include "windows/frm_main.h"
#include "windows/frm_wait.h"

#include <QAction>
#include <QGuiApplication>
#include <QTimer>

#include <csignal>
#include <cstdio>
#include <cstdlib>

Shutdown::Shutdown(frmMain& window, SaxComm& comm, QObject* parent)
    : QObject(parent)
    , m_window(window)
    , m_comm(comm)
{
    connect(m_window.menu().ExitMenu, &QAction::triggered, this, &Shutdown::begin);
    connect(&m_window, &frmMain::closeRequested, this, &Shutdown::begin);
    connect(m_window.timer(), &QTimer::timeout, this, &Shutdown::finish);
}

Shutdown::~Shutdown() = default;

void Shutdown::catchTerminationRequests()
{
    auto* requests = new TerminationSignals(this);
    if (!requests->catchSignals({ SIGTERM, SIGINT, SIGHUP }))
        return;
    connect(requests, &TerminationSignals::received, this, &Shutdown::begin);

    // A logout asks the application to save its data; the terminal has none to save and ends
    // itself by the same road as any other close request.
    if (qGuiApp)
        connect(qGuiApp, &QGuiApplication::commitDataRequest, this, &Shutdown::begin);
}

void Shutdown::begin()
{
    skipAndContinue(
        [this] {
            if (!m_wait)
                m_wait = std::make_unique<frmWait>();
            m_wait->show();
        },
        [this] { m_window.setCursor(Qt::WaitCursor); },
        [this] {
            // QTimer::start() would restart a running timer and put the end off.
            if (!m_window.timer()->isActive())
                m_window.timer()->start();
        });
}

void Shutdown::finish()
{
    skipAndContinue(
        [this] {
            // A transfer is not waited for, but its end is not hidden either: the receiver is
            // told and the CommSpy log says why.
            if (m_comm.transferRunning())
                m_comm.abortTransfer(QStringLiteral("cancelled by shutdown"));
        },
        [this] { return m_comm.portOpen() ? m_comm.setPortOpen(false) : Failure {}; });
    // No window is closed and no handler that waits in a nested event loop resumes: the process
    // ends here. The CommSpy log is written through record by record; only C stdio is buffered.
    std::fflush(nullptr);
    std::_Exit(EXIT_SUCCESS);
}
