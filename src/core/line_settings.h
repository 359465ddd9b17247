#pragma once

#include <QStringView>

#include <optional>

/// The line parameters that a settings string such as "9600,n,8,1" gives.
struct LineSettings
{
    enum class Parity { None, Even, Odd, Mark, Space };

    qint32 baudRate = 9600;
    Parity parity = Parity::None;
    int dataBits = 8;
    int stopBits = 1;

    friend bool operator==(const LineSettings&, const LineSettings&) = default;
};

/// Rounds to the nearest integer, halves to the even one, as the settings strings are read.
/// Empty when the value does not fit a 32-bit signed integer.
std::optional<qint32> roundToInt32(double value);

/// Reads "baud,parity,data bits,stop bits". Numbers are read with leadingNumber() and rounded
/// half to even; parity is one of n, e, o, m, s in either case. Any positive baud rate, 5 to 8
/// data bits and 1 or 2 stop bits are accepted: what the port itself can take is the port's
/// business. Empty when the text is not of that form.
std::optional<LineSettings> parseLineSettings(QStringView text);
