#pragma once

#include <QString>

/// Which entry rule an address byte follows: the IP rows take decimal bytes, the MAC row hex.
enum class OctetRule { Decimal, Hex };

/// What an entry rule makes of an address field's text.
struct OctetFilterResult
{
    QString text;
    /// 1: the byte is complete and the focus moves on; 0: the focus stays.
    qint16 focusSignal = 0;

    friend bool operator==(const OctetFilterResult&, const OctetFilterResult&) = default;
};

/// The entry rule of a decimal address byte: keeps at most three characters, drops a last
/// character that is no digit, cuts a value above 255 back to two digits, and reports the byte
/// complete at three characters, or at two once the value passes 25.
OctetFilterResult FilterDecimalOctet(const QString& text);

/// What a text put into an address box at once (pasted, or set by code) keeps: the characters
/// the box's rule accepts, wherever they stand, hexadecimal letters in upper case. The rule then
/// runs on what is left.
QString OctetCharacters(OctetRule rule, const QString& text);

/// The entry rule of a hexadecimal address byte: keeps at most two characters, drops a last
/// character that is no hexadecimal digit, upper-cases a last lower-case letter, and reports
/// the byte complete at two characters.
OctetFilterResult FilterHexOctet(const QString& text);
