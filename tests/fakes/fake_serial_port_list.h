#pragma once

#include "platform/serial_port_list.h"

/// The ports a test says are present; none unless it says so, so that no test finds the
/// machine's own adapters.
class FakeSerialPortList final : public SerialPortList
{
public:
    QList<SerialPortEntry> ports() const override { return entries; }
    QList<SerialPortEntry> entries;
};
