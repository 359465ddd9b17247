#pragma once

#include "windows/twips.h"

#include <QList>
#include <QString>
#include <QWidget>

/// Creates a widget in the container, named and placed at a rectangle given in twips.
template <typename W>
W* placeWidget(QWidget* container, const QString& name, int left, int top, int width, int height)
{
    auto* widget = new W(container);
    widget->setObjectName(name);
    widget->setGeometry(twipsRect(*container, left, top, width, height));
    return widget;
}

/// The windows are laid out in twips at fixed sizes; where the desktop's default font is wider
/// than the one the layout was drawn for, captions would be cut off. The container's font gives
/// way, half a point at a time, until every captioned widget shows its whole caption.
void fitFontToCaptions(QWidget* container, const QList<QWidget*>& captioned);
