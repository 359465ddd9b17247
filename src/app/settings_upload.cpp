#include "app/settings_upload.h"

#include "app/settings_file_commands.h"
#include "platform/message_boxes.h"
#include "platform/working_directory.h"
#include "serial_link/sax_comm.h"
#include "windows/frm_main.h"

#include <QDir>
#include <QPushButton>

SettingsUpload::SettingsUpload(frmMain& window, SettingsFileCommands& settingsFile, SaxComm& comm,
    WorkingDirectory& workingDirectory, MessageBoxes& boxes, QObject* parent)
    : QObject(parent)
    , m_window(window)
    , m_settingsFile(settingsFile)
    , m_comm(comm)
    , m_workingDirectory(workingDirectory)
    , m_boxes(boxes)
{
    connect(m_window.writeButton(), &QPushButton::clicked, this, &SettingsUpload::cmdWriteClick);
}

void SettingsUpload::cmdWriteClick()
{
    trapAndReport(
        m_boxes, [this] { storeSettings(); }, [this] { return upload(); });
}

// Whatever this gives (written, cancelled or failed), the upload follows.
void SettingsUpload::storeSettings()
{
    if (m_window.CurrentFileName().isEmpty()) {
        m_settingsFile.Save();
        return;
    }
    if (!m_settingsFile.WriteSettingsFile(m_window.CurrentFileName()))
        m_boxes.showMessage(QStringLiteral("Unable to write file"));
}

Result<> SettingsUpload::upload()
{
    if (!m_comm.portOpen()) {
        m_boxes.showMessage(QStringLiteral("Serial port is closed"));
        return {};
    }
    // Always "server.ini" in the working folder, whatever file was written above; the parts are
    // joined as they are, so at the root the path has two separators in a row.
    m_comm.setFileToSend(
        m_workingDirectory.current() + QDir::separator() + QStringLiteral("server.ini"));
    return m_comm.setTransfer(1);
}
