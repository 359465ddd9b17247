#pragma once

#include "core/browser_model.h"

#include <QWebEngineView>

/// Whether the web engine can start in this process, or why not: its helper
/// process must be there, or the engine ends the whole program when it first starts.
Result<> webEngineAvailable();

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

    /// An address that names its scheme ("http://...") goes as it is given; one without is read
    /// as a user's typed address is: "127.0.0.1" opens "http://127.0.0.1". An address that is
    /// none shows a page that says so, and stays the page's address.
    Result<> navigate(const QString& address) override;
    Result<> goBack() override;
    Result<> goForward() override;
    Result<> goHome() override;
    /// Asks for a word and finds it in the page, like a browser's Find; the word asked last time
    /// is offered again, so that OK finds its next place.
    Result<> goSearch() override;
    Result<> refresh() override;
    Result<> stop() override;
    bool busy() const override { return m_busy; }
    QString locationName() const override { return title(); }
    QString locationURL() const override
    {
        return m_invalidAddress.isEmpty() ? url().toString() : m_invalidAddress;
    }

private:
    QString m_homeAddress;
    QString m_lastSearch;
    // The address given last, while the page shown says that it is none.
    QString m_invalidAddress;
    bool m_busy = false;
};

/// The control where the web engine cannot start: every command fails with the reason.
class UnavailableBrowser final : public BrowserEngine
{
public:
    explicit UnavailableBrowser(QString reason)
        : m_reason(std::move(reason))
    { }

    Result<> navigate(const QString&) override { return Failure { m_reason }; }
    Result<> goBack() override { return Failure { m_reason }; }
    Result<> goForward() override { return Failure { m_reason }; }
    Result<> goHome() override { return Failure { m_reason }; }
    Result<> goSearch() override { return Failure { m_reason }; }
    Result<> refresh() override { return Failure { m_reason }; }
    Result<> stop() override { return Failure { m_reason }; }
    bool busy() const override { return false; }
    QString locationName() const override { return {}; }
    QString locationURL() const override { return {}; }

private:
    QString m_reason;
};
