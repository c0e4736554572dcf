#pragma once
// Code page 932 (Windows-31J) conversion. Every wire line and every file of
// the system is code page 932 bytes; inside the programs text is QString.
#include <QByteArray>
#include <QString>

namespace orva::cp932 {

// QString -> code page 932 bytes. Characters that code page 932 cannot
// represent become "?" (0x3F), as the Windows ANSI conversion does.
QByteArray fromUnicode(const QString& text);

// Code page 932 bytes -> QString. Invalid sequences become U+FFFD each, so
// a damaged line never stops the conversion.
QString toUnicode(const QByteArray& bytes);

// Length in bytes of the whole characters at the start of `bytes`: a lead
// byte whose trail byte has not arrived yet is left out. Line framers use it
// to keep a split two-byte character for the next read.
qsizetype completePrefixLength(const QByteArray& bytes);

}  // namespace orva::cp932
