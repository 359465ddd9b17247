#pragma once

#include "device_sim/device_state.h"

#include <QString>

/// The title of the simulated server's status page.
QString statusPageTitle();

/// The status page: every setting the server holds (the FTP password masked) and the time of
/// the last upload, as an HTML document.
QString renderStatusPage(const DeviceState& state);
