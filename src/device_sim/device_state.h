#pragma once

#include "settings_file/settings_format.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <optional>

/// The transfer protocols the simulated server receives with, numbered as the terminal's
/// start-up option numbers them.
enum class UploadProtocol { Plain = 0, Xmodem = 1, Ymodem = 2, Zmodem = 3 };

QString protocolName(UploadProtocol protocol);
/// Reads "0".."3", "plain", "xmodem", "ymodem" or "zmodem" (any case).
std::optional<UploadProtocol> protocolFromText(const QString& text);

/// Reads an uploaded settings file the way the terminal reads one. Fails, saying why, when the
/// bytes are no settings file (no setting in them).
Result<ServerSettings> parseUploadedSettings(const QByteArray& bytes);

/// What the simulated server holds: the settings of the last good upload and when it came.
struct DeviceState
{
    std::optional<ServerSettings> settings;
    QDateTime lastUpload;
    int uploads = 0;
};
