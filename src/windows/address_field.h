#pragma once

#include "core/octet_filters.h"

class QLineEdit;

/// Gives an address box its change handling: on every change of its text, whether typed,
/// pasted or set by code, the box's entry rule repairs the text, the caret goes to the end,
/// and a complete byte moves the focus on to the next box when that box can take it.
void attachEntryRule(QLineEdit* field, OctetRule rule, QLineEdit* next);
