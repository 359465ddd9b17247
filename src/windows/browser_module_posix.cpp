#include "windows/browser_module_posix.h"

#include "platform/browser_plugin.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QOpenGLContext>
#include <QSurfaceFormat>

// QtGui's global shared OpenGL context, exported for Qt's own modules but not in its public
// headers.
QOpenGLContext* qt_gl_global_share_context();
void qt_gl_set_global_share_context(QOpenGLContext* context);

namespace {

// The module's web engine needs an OpenGL context shared with the application's, and looks for
// it as soon as it is loaded. Qt makes one only for programs that ask before they start, and
// asking there doubled the terminal's start-up time and memory: it is made here, before the
// module is loaded, instead.
void shareOpenGLContexts()
{
    if (qt_gl_global_share_context())
        return;
    // It lives as long as the application. Where there is no OpenGL it is not created, and the
    // engine draws without it.
    auto* context = new QOpenGLContext(QCoreApplication::instance());
    context->setFormat(QSurfaceFormat::defaultFormat());
    context->create();
    qt_gl_set_global_share_context(context);
}

} // namespace

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

Result<> PosixBrowserModule::openWindow(const QString& startingAddress)
{
    if (!m_loader.isLoaded())
        shareOpenGLContexts();
    QObject* root = m_loader.instance();
    if (!root)
        return Failure { QStringLiteral("%1: %2").arg(m_path, m_loader.errorString()) };
    auto* factory = qobject_cast<BrowserWindowFactory*>(root);
    if (!factory)
        return Failure { QStringLiteral("%1 is not the terminal's browser module").arg(m_path) };
    factory->openBrowserWindow(startingAddress, m_boxes);
    return {};
}
