#pragma once

#include <array>

/// The main window's controls that hold the server's settings, by their object names: the names
/// the window gives them and the settings file's reader assigns values to. Each group is listed
/// here once.
namespace SettingsControls {

inline constexpr char16_t kDhcp[] = u"chkDHCP";
inline constexpr std::array<const char16_t*, 4> kIpAddress { u"txtIpAddress", u"txtIpAddress2",
    u"txtIpAddress3", u"txtIpAddress4" };
inline constexpr std::array<const char16_t*, 6> kMacAddress { u"txtMacAddress", u"txtMacAddress2",
    u"txtMacAddress3", u"txtMacAddress4", u"txtMacAddress5", u"txtMacAddress6" };
inline constexpr char16_t kSender[] = u"txtSenderAddress";
inline constexpr char16_t kReceiver[] = u"txtReceiverAddress";
inline constexpr char16_t kHost[] = u"txtHost";
inline constexpr std::array<const char16_t*, 4> kMailServerAddress { u"txtEmailServerAddress",
    u"txtEmailServerAddress2", u"txtEmailServerAddress3", u"txtEmailServerAddress4" };
inline constexpr char16_t kFtp[] = u"chkFTP";
inline constexpr char16_t kUserName[] = u"txtUserName";
inline constexpr char16_t kPassword[] = u"txtPassword";

} // namespace SettingsControls
