#include "app/settings_upload.h"

#include "app/settings_file_commands.h"
#include "core/handler_policy.h"
#include "platform/message_boxes.h"
#include "serial_link/sax_comm.h"
#include "windows/frm_main.h"

#include <QDateTime>
#include <QPushButton>

namespace {

// A regular file that only its owner may read and write, as a new settings file is.
constexpr int kSettingsFileMode = 0100600;

} // namespace

SettingsUpload::SettingsUpload(frmMain& window, SettingsFileCommands& settingsFile, SaxComm& comm,
    MessageBoxes& boxes, QObject* parent)
    : QObject(parent)
    , m_window(window)
    , m_settingsFile(settingsFile)
    , m_comm(comm)
    , m_boxes(boxes)
{
    connect(m_window.writeButton(), &QPushButton::clicked, this, &SettingsUpload::cmdWriteClick);
}

void SettingsUpload::cmdWriteClick()
{
    // Only what was just stored goes to the server: after a cancelled Save or a failed write
    // nothing is sent, rather than whatever file of that name lies in the folder.
    const std::optional<QByteArray> stored = storeSettings();
    if (stored)
        trapAndReport(m_boxes, [&] { return upload(*stored); });
}

std::optional<QByteArray> SettingsUpload::storeSettings()
{
    if (m_window.CurrentFileName().isEmpty())
        return m_settingsFile.Save();
    Result<QByteArray> stored = m_settingsFile.WriteSettingsFile(m_window.CurrentFileName());
    if (!stored.ok()) {
        m_boxes.showMessage(QStringLiteral("Unable to write file"));
        return std::nullopt;
    }
    return std::move(stored).value();
}

Result<> SettingsUpload::upload(const QByteArray& stored)
{
    if (!m_comm.portOpen()) {
        m_boxes.showMessage(QStringLiteral("Serial port is closed"));
        return {};
    }
    // The server takes its settings under the name "server.ini", whatever the file was saved as.
    return m_comm.sendFile({ QStringLiteral("server.ini"), stored,
        QDateTime::currentSecsSinceEpoch(), kSettingsFileMode });
}
