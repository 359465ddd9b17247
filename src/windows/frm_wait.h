#pragma once

#include <QWidget>

/// The small window shown, without an owner, while the serial port driver is closed down at
/// exit. It has no behaviour of its own.
class frmWait : public QWidget
{
    Q_OBJECT

public:
    explicit frmWait(QWidget* parent = nullptr);
};
