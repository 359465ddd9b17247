#pragma once

#include <array>

/// Which entry rule an address byte follows.
enum class OctetRule { Decimal, Hex };

/// One byte box of an address row, and the box the focus moves on to when its byte is complete.
struct AddressBoxEntry
{
    const char* name;
    OctetRule rule;
    const char* next; // nullptr for the last box of a row
};

/// The fourteen address boxes in keyboard order: the server's IP address, its MAC address, and
/// the mail server's IP address.
inline constexpr std::array<AddressBoxEntry, 14> kAddressFields { {
    { "txtIpAddress", OctetRule::Decimal, "txtIpAddress2" },
    { "txtIpAddress2", OctetRule::Decimal, "txtIpAddress3" },
    { "txtIpAddress3", OctetRule::Decimal, "txtIpAddress4" },
    { "txtIpAddress4", OctetRule::Decimal, nullptr },
    { "txtMacAddress", OctetRule::Hex, "txtMacAddress2" },
    { "txtMacAddress2", OctetRule::Hex, "txtMacAddress3" },
    { "txtMacAddress3", OctetRule::Hex, "txtMacAddress4" },
    { "txtMacAddress4", OctetRule::Hex, "txtMacAddress5" },
    { "txtMacAddress5", OctetRule::Hex, "txtMacAddress6" },
    { "txtMacAddress6", OctetRule::Hex, nullptr },
    { "txtEmailServerAddress", OctetRule::Decimal, "txtEmailServerAddress2" },
    { "txtEmailServerAddress2", OctetRule::Decimal, "txtEmailServerAddress3" },
    { "txtEmailServerAddress3", OctetRule::Decimal, "txtEmailServerAddress4" },
    { "txtEmailServerAddress4", OctetRule::Decimal, nullptr },
} };
