#include "app/ip_address_texts.h"

#include "windows/frm_main.h"

QStringList ipAddressTexts(const frmMain& mainWindow)
{
    QStringList texts;
    for (const char16_t* name :
        { u"txtIpAddress", u"txtIpAddress2", u"txtIpAddress3", u"txtIpAddress4" })
        texts.append(mainWindow.text(QString::fromUtf16(name)));
    return texts;
}
