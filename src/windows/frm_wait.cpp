#include "windows/frm_wait.h"

#include "windows/twips.h"

#include <QLabel>
#include <QScreen>

frmWait::frmWait(QWidget* parent)
    : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("frmWait"));
    setWindowTitle(QStringLiteral("Please wait"));
    setFixedSize(twipsToPixels(3105, logicalDpiX()), twipsToPixels(990, logicalDpiY()));

    auto* label
        = new QLabel(QStringLiteral("Closing down the serial port driver. Please wait...."), this);
    label->setObjectName(QStringLiteral("Label1"));
    label->setWordWrap(true);
    label->setGeometry(twipsRect(*this, 120, 240, 2895, 495));
    if (const QScreen* s = screen())
        move(s->availableGeometry().center() - rect().center());
}
