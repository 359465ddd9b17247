#pragma once

#include "core/result.h"

#include <QByteArray>
#include <QObject>

#include <optional>

class MessageBoxes;
class SaxComm;
class SettingsFileCommands;
class frmMain;

/// The Write button: stores the settings in the settings file, then has the serial control send
/// what was stored to the server as "server.ini". It starts the transfer and does not follow it;
/// the serial control's status window does.
class SettingsUpload : public QObject
{
    Q_OBJECT

public:
    /// Attaches the handler to the main window's Write button.
    SettingsUpload(frmMain& window, SettingsFileCommands& settingsFile, SaxComm& comm,
        MessageBoxes& boxes, QObject* parent = nullptr);

    void cmdWriteClick();

private:
    std::optional<QByteArray> storeSettings();
    Result<> upload(const QByteArray& stored);

    frmMain& m_window;
    SettingsFileCommands& m_settingsFile;
    SaxComm& m_comm;
    MessageBoxes& m_boxes;
};
