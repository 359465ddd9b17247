#pragma once

#include "platform/message_boxes.h"

/// Modal QMessageBox over the active window.
class QtMessageBoxes final : public MessageBoxes
{
public:
    void showMessage(const QString& text) override;
};
