#pragma once

#include <QByteArray>
#include <QString>

// Text of a file that an older version wrote in an 8-bit encoding: on Windows the ANSI code
// page; elsewhere the locale's character set when it is not UTF-8 and takes every byte of
// the data, else ISO 8859-1. Every byte gives a character, so nothing is replaced.
QString DecodeEightBit(const QByteArray &data);

// The same with the locale's character set given by name, as LocaleCharset() reports it.
QString DecodeEightBit(const QByteArray &data, const QByteArray &localeCharset);

// The character set of the user's locale as the C library names it; empty where there is
// no such call. The only POSIX call of the configuration library.
QByteArray LocaleCharset();
