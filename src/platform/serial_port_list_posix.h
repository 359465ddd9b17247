#pragma once

#include "platform/serial_port_list.h"

/// The ports the serial library finds (the kernel's tty devices with a driver behind them),
/// described as "FT232R USB UART (FTDI, A50285BI)".
class PosixSerialPortList final : public SerialPortList
{
public:
    QList<SerialPortEntry> ports() const override;
};
