#pragma once

#include <QByteArrayView>
#include <QtGlobal>

/// CRC-16 as XMODEM, YMODEM and ZMODEM use it: polynomial 0x1021, not reflected, no final
/// inversion. Pass the previous result to continue over more data; 0 starts afresh.
quint16 crc16(QByteArrayView data, quint16 crc = 0);

/// CRC-32 as ZMODEM and zlib use it (IEEE 802.3, reflected). Pass the previous result to
/// continue over more data; 0 starts afresh.
quint32 crc32(QByteArrayView data, quint32 crc = 0);
