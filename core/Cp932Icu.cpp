#include "Cp932Codec.h"

#include "KestrumError.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace {

// Microsoft's code page 932 under the name that ICU (behind Qt's codecs) gives
// it: byte 0x5C is the backslash, 0x7E the tilde, NEC and IBM extensions in.
constexpr const char *codecName = "windows-31j";

// ICU's table for this code page turns three control characters round:
// U+001A is written as 0x7F, U+001C as 0x1A and U+007F as 0x1C, and read back
// the same way. Windows maps each of them to the byte of the same value, and
// so must we, so the characters are turned round before ICU sees them and
// after it is done.
QChar beforeEncoding(QChar c)
{
    switch (c.unicode()) {
    case 0x1A:
        return QChar(0x1C); // ICU writes it as 0x1A
    case 0x1C:
        return QChar(0x7F); // as 0x1C
    case 0x7F:
        return QChar(0x1A); // as 0x7F
    default:
        return c;
    }
}

QChar afterDecoding(QChar c)
{
    switch (c.unicode()) {
    case 0x1C:
        return QChar(0x1A); // ICU read 0x1A
    case 0x7F:
        return QChar(0x1C); // ICU read 0x1C
    case 0x1A:
        return QChar(0x7F); // ICU read 0x7F
    default:
        return c;
    }
}

QString mapped(QString text, QChar (*map)(QChar))
{
    for (QChar &c : text)
        c = map(c);
    return text;
}

} // namespace

namespace Cp932Codec {

std::optional<QByteArray> encode(const QString &text)
{
    QStringEncoder encoder(codecName, QStringConverter::Flag::Stateless);
    if (!encoder.isValid())
        throw KestrumError(QStringLiteral("ｺｰﾄﾞﾍﾟｰｼﾞ932の変換が使えません"));
    QByteArray bytes = encoder.encode(mapped(text, beforeEncoding));
    if (encoder.hasError())
        return std::nullopt;
    return bytes;
}

std::optional<QString> decode(const QByteArray &bytes)
{
    QStringDecoder decoder(codecName, QStringConverter::Flag::Stateless);
    if (!decoder.isValid())
        return std::nullopt;
    QString text = decoder.decode(bytes);
    if (decoder.hasError())
        return std::nullopt;
    return mapped(text, afterDecoding);
}

} // namespace Cp932Codec
