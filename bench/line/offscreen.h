#pragma once

#include <QString>
#include <QTextStream>
#include <QtGlobal>

/// For benchmarks that run the serial control or the whole terminal without a screen: the
/// offscreen platform unless another is named, and its remarks about what it cannot do (window
/// hints, activation) kept out of the printed figures. Call before the application is made.
inline void runOffscreenQuietly()
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString& message) {
        if (!message.startsWith(u"This plugin does not support")
            && !message.startsWith(u"requestActivate()") && !message.contains(u"XDG_RUNTIME_DIR"))
            QTextStream(stderr) << message << u'\n';
    });
}
