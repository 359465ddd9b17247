#pragma once

#include <QStringView>

/// Reads the number at the start of a text the way the original platform's Val() does:
/// blanks, tabs and line feeds are skipped wherever they stand; then an optional sign, digits
/// with at most one decimal point, and an optional exponent introduced by E or D; or an
/// integer written as &H (hexadecimal) or &O (octal). Reading stops at the first character
/// that cannot continue the number; a text with no number reads as 0.
double leadingNumber(QStringView text);

/// The number an address box's text stands for, as the settings file stores it: leadingNumber()
/// rounded half to even (the default rounding mode), so "010" is 10 and "2.5" is 2. Everything
/// that turns a box into a byte reads it here, so the file and the tools agree on the address.
double octetValue(QStringView text);
