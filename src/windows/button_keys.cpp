#include "windows/button_keys.h"

#include <QKeyEvent>
#include <QPushButton>

namespace {

class EnterPressesButton final : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::KeyPress)
            return false;
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key != Qt::Key_Return && key != Qt::Key_Enter)
            return false;
        auto* button = static_cast<QPushButton*>(watched);
        if (!button->isEnabled())
            return false;
        button->click();
        return true;
    }
};

} // namespace

void pressFocusedButtonsOnEnter(QWidget* window)
{
    auto* filter = new EnterPressesButton(window);
    for (QPushButton* button : window->findChildren<QPushButton*>())
        button->installEventFilter(filter);
}
