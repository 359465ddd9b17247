#pragma once

#include "core/result.h"

#include <QString>

#include <array>
#include <functional>
#include <variant>

class QIODevice;

// The settings file: INI-style lines of 8-bit text, each ended by CR LF, in this fixed order:
//   [System]  DHCP=0|1  IP0=hhhh IP1=hhhh (DHCP off only)  MAC0= MAC1= MAC2=
//   [SMTP]    sender= receiver= host= maillp0=hhhh maillp1=hhhh
//   [FTP]     FTP=0|1  Username= Password= (FTP on only)
//
// The 8-bit text is Windows-1252 in both directions, so that files written on the terminal's
// original platform read back the same. Every byte decodes to a character and every decoded
// character encodes back to its byte, so a file that was read is saved unchanged. A character
// that Windows-1252 cannot hold (a Greek or Chinese letter, an emoji) is never replaced or
// dropped silently: the writer refuses the whole file with a message naming the field and the
// character, and writes nothing, so a password is never stored other than as typed.

/// The longest text a text box of the main window holds; longer values read from a file are cut
/// to it, so that a line of any length costs no more memory than this.
inline constexpr qsizetype kMaxTextLength = 32767;

/// The server settings as the main window's controls hold them: texts as they stand, switches as
/// check values (1 is on; 0, and the third state 2, are off).
struct ServerSettings
{
    int dhcp = 1;
    std::array<QString, 4> ipAddress;
    std::array<QString, 6> macAddress;
    QString sender;
    QString receiver;
    QString host;
    std::array<QString, 4> mailServerAddress;
    int ftp = 1;
    QString userName;
    QString password;
};

/// Collects the settings from the controls that hold them, asking for each control by its object
/// name: textOf for the text boxes, checkValueOf for the two check boxes.
ServerSettings collectServerSettings(const std::function<QString(const QString&)>& textOf,
    const std::function<int(const QString&)>& checkValueOf);

/// "0" followed by the text when it is shorter than two characters; otherwise the text as it is
/// (a longer text is not cut).
QString PadHexByte(const QString& text);

/// Writes the settings file for these settings to the device. Octet fields are read as numbers
/// the way the entry rules read them (an empty text is 0), rounded half to even and written as
/// two upper-case hexadecimal digits; MAC boxes of one digit get their leading zero, and empty
/// ones among filled ones are written "00". Nothing is written when a value cannot be stored (a
/// character outside Windows-1252, a comma in a text, an address byte that is no number from 0
/// to 255); otherwise the failure is the device's own. Gives the bytes written.
Result<QByteArray> writeSettings(QIODevice& device, const ServerSettings& settings);

/// One change the reader makes: a text box's new text, or a check box's new value.
struct SettingsAssignment
{
    QString control;
    std::variant<QString, int> value;

    bool operator==(const SettingsAssignment&) const = default;
};

/// Reads a settings file from the device, item by item, and hands every assignment its items
/// make to apply, in file order and, within an item, in key order. An item ends at a comma or a
/// line end (CR LF, LF or a lone CR); spaces in front of it are skipped and trailing spaces and
/// double quotes are kept as they stand. Reading ends at the end of the data or at the first
/// empty item after the leading ones; what follows is never read. Fails when the data ends where
/// the first item is expected (an empty file) or the device fails; the assignments made before a
/// failure stand.
Result<> readSettings(
    QIODevice& device, const std::function<void(const SettingsAssignment&)>& apply);
