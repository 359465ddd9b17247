#pragma once

#include <QStringView>

/// Reads the number at the start of a text the way the original platform's Val() does:
/// blanks, tabs and line feeds are skipped wherever they stand; then an optional sign, digits
/// with at most one decimal point, and an optional exponent introduced by E or D; or an
/// integer written as &H (hexadecimal) or &O (octal). Reading stops at the first character
/// that cannot continue the number; a text with no number reads as 0.
double leadingNumber(QStringView text);
