#include "device_sim/status_page.h"

#include <QStringList>

using namespace Qt::Literals::StringLiterals;

namespace {

QString joined(const auto& octets, QChar separator)
{
    QStringList parts(octets.begin(), octets.end());
    return parts.join(separator);
}

QString onOff(int value)
{
    return value == 1 ? u"on"_s : u"off"_s;
}

QString row(const QString& name, const QString& value)
{
    return u"<tr><th>%1</th><td>%2</td></tr>\n"_s.arg(name, value.toHtmlEscaped());
}

} // namespace

QString statusPageTitle()
{
    return u"Lumo Brisk WEB Server (simulated)"_s;
}

QString renderStatusPage(const DeviceState& state)
{
    QString body;
    if (!state.settings) {
        body = u"<p>No settings have been uploaded yet. Press Write in the terminal.</p>\n"_s;
    } else {
        const ServerSettings& s = *state.settings;
        body = u"<table>\n"_s + row(u"DHCP"_s, onOff(s.dhcp))
            + row(u"IP address"_s, s.dhcp == 1 ? u"(from DHCP)"_s : joined(s.ipAddress, u'.'))
            + row(u"MAC address"_s, joined(s.macAddress, u':')) + row(u"Mail sender"_s, s.sender)
            + row(u"Mail receiver"_s, s.receiver) + row(u"Mail host"_s, s.host)
            + row(u"Mail server IP address"_s, joined(s.mailServerAddress, u'.'))
            + row(u"FTP"_s, onOff(s.ftp)) + row(u"FTP user name"_s, s.userName)
            + row(u"FTP password"_s, s.password.isEmpty() ? QString() : u"********"_s)
            + u"</table>\n"_s;
        body += u"<p>Last upload: %1 (%2 in all)</p>\n"_s.arg(
            state.lastUpload.toString(Qt::ISODate).toHtmlEscaped(), QString::number(state.uploads));
    }
    return u"<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>%1</title></head>\n"
           "<body><h1>%1</h1>\n%2</body></html>\n"_s.arg(statusPageTitle().toHtmlEscaped(), body);
}
