#pragma once

#include "platform/message_boxes.h"

#include <QStringList>

/// Records the messages instead of showing them.
class FakeMessageBoxes final : public MessageBoxes
{
public:
    void showMessage(const QString& text) override { shown.append(text); }
    QStringList shown;
};
