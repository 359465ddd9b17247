#include "platform/browser_module_posix.h"

#include "platform/browser_plugin.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

QString browserModulePath(const QString& applicationDirectory)
{
    const QDir directory(applicationDirectory);
    const QString beside = directory.filePath(QStringLiteral("libzelvic_browser.so"));
    if (QFileInfo::exists(beside))
        return beside;
    return QDir::cleanPath(
        directory.filePath(QStringLiteral("../lib/zelvic/libzelvic_browser.so")));
}

PosixBrowserModule::PosixBrowserModule(MessageBoxes& boxes, const QString& modulePath)
    : m_boxes(boxes)
    , m_path(modulePath.isEmpty() ? browserModulePath(QCoreApplication::applicationDirPath())
                                  : modulePath)
    , m_loader(m_path)
{ }

Failure PosixBrowserModule::openWindow(const QString& startingAddress)
{
    QObject* root = m_loader.instance();
    if (!root)
        return QStringLiteral("%1: %2").arg(m_path, m_loader.errorString());
    auto* factory = qobject_cast<BrowserWindowFactory*>(root);
    if (!factory)
        return QStringLiteral("%1 is not the terminal's browser module").arg(m_path);
    factory->openBrowserWindow(startingAddress, m_boxes);
    return std::nullopt;
}
