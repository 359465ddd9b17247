#pragma once

#include <QStringView>

/// True when the text is a settings string the port settings dialog accepts: baud rate,
/// parity, data bits and stop bits, separated by commas. The baud rate is one of 1200, 2400,
/// 4800, 9600, 19200, 38400, 56000 or 112000; the parity is exactly one of the letters n, e,
/// o, m, s in either case; the data bits are 7 or 8; the stop-bits field runs to the end of
/// the text and reads 1 or 2. Numbers are read with leadingNumber() and rounded half to even;
/// a number beyond the 32-bit signed range makes the text invalid. Every text accepted here is
/// also accepted by parseLineSettings() with the same numbers.
bool IsValidSettingsString(QStringView text);
