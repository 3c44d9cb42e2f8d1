#pragma once

#include <QByteArray>
#include <QString>

// Mac OS Roman, the text encoding of the older Pelmora files, of dBASE tables that declare it
// and of PostScript strings: every byte stands for one character, so decoding never fails.
char16_t plmMacRomanUnit(unsigned char byte);
QString plmMacRomanText(const QByteArray& bytes);
