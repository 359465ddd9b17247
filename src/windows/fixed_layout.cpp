#include "windows/fixed_layout.h"

#include <QFont>

#include <algorithm>

void fitFontToCaptions(QWidget* container, const QList<QWidget*>& captioned)
{
    constexpr qreal kSmallestPointSize = 6.5;
    const auto overflows = [&captioned] {
        return std::ranges::any_of(
            captioned, [](const QWidget* w) { return w->sizeHint().width() > w->width(); });
    };
    QFont font = container->font();
    while (overflows() && font.pointSizeF() > kSmallestPointSize) {
        font.setPointSizeF(font.pointSizeF() - 0.5);
        container->setFont(font);
    }
}
