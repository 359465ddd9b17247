#pragma once

#include "platform/browser_module.h"

#include <QPluginLoader>

class MessageBoxes;

/// Where the browser module is, given the directory of the running program: beside the
/// program in the build tree, in ../lib/zelvic when installed.
QString browserModulePath(const QString& applicationDirectory);

/// Loads the browser module with QPluginLoader when the first window is opened, and keeps it
/// loaded: its windows live on after the command that opened them.
class PosixBrowserModule final : public BrowserModule
{
public:
    /// modulePath defaults to browserModulePath() of the running program.
    explicit PosixBrowserModule(MessageBoxes& boxes, const QString& modulePath = {});

    Result<> openWindow(const QString& startingAddress) override;

private:
    MessageBoxes& m_boxes;
    QString m_path;
    QPluginLoader m_loader;
};
