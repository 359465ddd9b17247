#include "windows/message_boxes_qt.h"

#include <QApplication>
#include <QMessageBox>

void QtMessageBoxes::showMessage(const QString& text)
{
    QMessageBox box(QMessageBox::NoIcon, QString::fromUtf16(kApplicationTitle), text,
        QMessageBox::Ok, QApplication::activeWindow());
    box.exec();
}
