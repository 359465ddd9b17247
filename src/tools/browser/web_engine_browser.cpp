#include "tools/browser/web_engine_browser.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QInputDialog>
#include <QLibraryInfo>
#include <QWebEngineHistory>

#include <unistd.h>

Failure webEngineUnavailable()
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
            return std::nullopt;
    }
    return QStringLiteral("The web engine's helper %1 is missing").arg(places.first());
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

Failure WebEngineBrowser::navigate(const QString& address)
{
    const QUrl url = QUrl::fromUserInput(address);
    if (!url.isValid())
        return QStringLiteral("Cannot open \"%1\"").arg(address);
    load(url);
    return std::nullopt;
}

Failure WebEngineBrowser::goBack()
{
    if (!history()->canGoBack())
        return QStringLiteral("There is no earlier page");
    back();
    return std::nullopt;
}

Failure WebEngineBrowser::goForward()
{
    if (!history()->canGoForward())
        return QStringLiteral("There is no later page");
    forward();
    return std::nullopt;
}

Failure WebEngineBrowser::goHome()
{
    if (m_homeAddress.isEmpty())
        return QStringLiteral("The window has no starting address");
    return navigate(m_homeAddress);
}

Failure WebEngineBrowser::goSearch()
{
    bool accepted = false;
    const QString text = QInputDialog::getText(window(), QStringLiteral("Search"),
        QStringLiteral("Find in this page:"), QLineEdit::Normal, m_lastSearch, &accepted);
    if (!accepted)
        return QStringLiteral("Search cancelled");
    m_lastSearch = text;
    findText(text);
    return std::nullopt;
}

Failure WebEngineBrowser::refresh()
{
    reload();
    return std::nullopt;
}

Failure WebEngineBrowser::stop()
{
    QWebEngineView::stop();
    return std::nullopt;
}
