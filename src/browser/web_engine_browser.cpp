#include "browser/web_engine_browser.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QInputDialog>
#include <QLibraryInfo>
#include <QWebEngineHistory>

#include <unistd.h>

Result<> webEngineAvailable()
{
    const QString helper = QStringLiteral("QtWebEngineProcess");
    // The places the engine itself looks for its helper, in its order.
    const QString named = qEnvironmentVariable("QTWEBENGINEPROCESS_PATH");
    const QStringList places = named.isEmpty()
        ? QStringList { QDir(QLibraryInfo::path(QLibraryInfo::LibraryExecutablesPath))
                            .filePath(helper),
              QDir(QCoreApplication::applicationDirPath()).filePath(helper) }
        : QStringList { named };
    for (const QString& place : places) {
        if (QFileInfo(place).isExecutable())
            return {};
    }
    return Failure { QStringLiteral("The web engine's helper %1 is missing").arg(places.first()) };
}

void allowWebEngineAsRoot()
{
    if (::geteuid() == 0)
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
}

WebEngineBrowser::WebEngineBrowser(QWidget* parent)
    : QWebEngineView(parent)
{
    connect(this, &QWebEngineView::loadStarted, this, [this] { m_busy = true; });
    connect(this, &QWebEngineView::loadFinished, this, [this] { m_busy = false; });
}

Result<> WebEngineBrowser::navigate(const QString& address)
{
    // The engine's guess for an address with a scheme but no valid host would make
    // "http://..." (the IP boxes empty) into "http://http//...".
    const QUrl url
        = address.contains(QStringLiteral("://")) ? QUrl(address) : QUrl::fromUserInput(address);
    if (url.isValid()) {
        m_invalidAddress.clear();
        load(url);
        return {};
    }
    m_invalidAddress = address;
    setHtml(QStringLiteral("<html><head><title>Cannot open %1</title></head><body><p>Cannot "
                           "open \"%1\": it is not a web address.</p></body></html>")
                .arg(address.toHtmlEscaped()));
    return {};
}

Result<> WebEngineBrowser::goBack()
{
    if (!history()->canGoBack())
        return Failure { QStringLiteral("There is no earlier page") };
    m_invalidAddress.clear();
    back();
    return {};
}

Result<> WebEngineBrowser::goForward()
{
    if (!history()->canGoForward())
        return Failure { QStringLiteral("There is no later page") };
    m_invalidAddress.clear();
    forward();
    return {};
}

Result<> WebEngineBrowser::goHome()
{
    if (m_homeAddress.isEmpty())
        return Failure { QStringLiteral("The window has no starting address") };
    return navigate(m_homeAddress);
}

Result<> WebEngineBrowser::goSearch()
{
    bool accepted = false;
    const QString text = QInputDialog::getText(window(), QStringLiteral("Search"),
        QStringLiteral("Find in this page:"), QLineEdit::Normal, m_lastSearch, &accepted);
    if (!accepted)
        return Failure { QStringLiteral("Search cancelled") };
    m_lastSearch = text;
    findText(text);
    return {};
}

Result<> WebEngineBrowser::refresh()
{
    reload();
    return {};
}

Result<> WebEngineBrowser::stop()
{
    QWebEngineView::stop();
    return {};
}
