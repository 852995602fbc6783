#include "eightbitdecoding.h"

#include <QStringDecoder>

#if defined(Q_OS_UNIX)
#include <langinfo.h>
#endif

QByteArray LocaleCharset()
{
#if defined(Q_OS_UNIX)
    return QByteArray(nl_langinfo(CODESET));
#else
    return QByteArray();
#endif
}

QString DecodeEightBit(const QByteArray &data, const QByteArray &localeCharset)
{
    const QByteArray name = localeCharset.toLower().replace('-', "").replace('_', "");
    // A UTF-8 locale says nothing about the 8-bit encoding the file was written in.
    if (!name.isEmpty() && name != "utf8") {
        QStringDecoder decoder(localeCharset.constData());
        if (decoder.isValid()) {
            const QString text = decoder.decode(data);
            if (!decoder.hasError())
                return text;
        }
    }
    return QString::fromLatin1(data);
}

QString DecodeEightBit(const QByteArray &data)
{
#if defined(Q_OS_WIN)
    // On Windows, System is the ANSI code page, which older versions wrote in.
    QStringDecoder system(QStringConverter::System);
    return system.decode(data);
#else
    return DecodeEightBit(data, LocaleCharset());
#endif
}
