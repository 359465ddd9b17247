#pragma once

#include "tools/browser_model.h"

#include <QWebEngineView>

/// Why the web engine cannot start in this process, or nothing when it can: its helper
/// process must be there, or the engine ends the whole program when it first starts.
Failure webEngineUnavailable();

/// Lets the engine start when the process runs as root, which it refuses with its sandbox on.
/// Must run before the first page is created.
void allowWebEngineAsRoot();

/// The web-browser control on QtWebEngine.
class WebEngineBrowser final : public QWebEngineView, public BrowserEngine
{
    Q_OBJECT

public:
    explicit WebEngineBrowser(QWidget* parent = nullptr);

    /// Where Home goes: the window's starting address.
    void setHomeAddress(const QString& address) { m_homeAddress = address; }

    /// The address is read as a user's typed address is: "127.0.0.1" opens
    /// "http://127.0.0.1".
    Failure navigate(const QString& address) override;
    Failure goBack() override;
    Failure goForward() override;
    Failure goHome() override;
    /// Asks for a word and finds it in the page, like a browser's Find; the word asked last time
    /// is offered again, so that OK finds its next place.
    Failure goSearch() override;
    Failure refresh() override;
    Failure stop() override;
    bool busy() const override { return m_busy; }
    QString locationName() const override { return title(); }
    QString locationURL() const override { return url().toString(); }

private:
    QString m_homeAddress;
    QString m_lastSearch;
    bool m_busy = false;
};

/// The control where the web engine cannot start: every command fails with the reason.
class UnavailableBrowser final : public BrowserEngine
{
public:
    explicit UnavailableBrowser(QString reason)
        : m_reason(std::move(reason))
    { }

    Failure navigate(const QString&) override { return m_reason; }
    Failure goBack() override { return m_reason; }
    Failure goForward() override { return m_reason; }
    Failure goHome() override { return m_reason; }
    Failure goSearch() override { return m_reason; }
    Failure refresh() override { return m_reason; }
    Failure stop() override { return m_reason; }
    bool busy() const override { return false; }
    QString locationName() const override { return {}; }
    QString locationURL() const override { return {}; }

private:
    QString m_reason;
};
