#include "Cp932.h"

#include "Cp932Codec.h"
#include "KestrumError.h"

#include <algorithm>

namespace {

// Input methods outside Windows produce these code points for JIS characters
// that Windows maps to other code points. Each pair is (what was typed, what
// code page 932 holds for the same character), so they encode to the bytes a
// Windows user typing the same character would get.
constexpr std::pair<char16_t, char16_t> jisVariants[] = {
    { u'\u301C', u'\uFF5E' }, // WAVE DASH -> FULLWIDTH TILDE, 0x8160
    { u'\u2016', u'\u2225' }, // DOUBLE VERTICAL LINE -> PARALLEL TO, 0x8161
    { u'\u2212', u'\uFF0D' }, // MINUS SIGN -> FULLWIDTH HYPHEN-MINUS, 0x817C
    { u'\u00A2', u'\uFFE0' }, // CENT SIGN -> FULLWIDTH CENT SIGN, 0x8191
    { u'\u00A3', u'\uFFE1' }, // POUND SIGN -> FULLWIDTH POUND SIGN, 0x8192
    { u'\u00AC', u'\uFFE2' }, // NOT SIGN -> FULLWIDTH NOT SIGN, 0x81CA
    { u'\u2014', u'\u2015' }, // EM DASH -> HORIZONTAL BAR, 0x815C
};

QString withWindowsForms(QString text)
{
    for (const auto &[typed, windows] : jisVariants)
        text.replace(QChar(typed), QChar(windows));
    return text;
}

// The bytes of `text`, or nothing when code page 932 cannot hold all of it.
// A character the converter maps one way only (U+F86F to the bytes of U+2116)
// would not read back as typed, so it counts as one it cannot hold.
std::optional<QByteArray> encodeExactly(const QString &text)
{
    std::optional<QByteArray> bytes = Cp932Codec::encode(text);
    if (!bytes || Cp932Codec::decode(*bytes) != text)
        return std::nullopt;
    return bytes;
}

// The first code point of `text` that code page 932 cannot hold, as a string
// of one or two UTF-16 units.
QString firstUnmappable(const QString &text)
{
    for (qsizetype i = 0; i < text.size();) {
        const bool pair = text.at(i).isHighSurrogate() && i + 1 < text.size()
            && text.at(i + 1).isLowSurrogate();
        const QString codePoint = text.mid(i, pair ? 2 : 1);
        if (!encodeExactly(codePoint))
            return codePoint;
        i += codePoint.size();
    }
    return {};
}

// Code page 932 agrees with ASCII on 0x00 to 0x7F, backslash and tilde
// included, so plain ASCII needs no codec: most values are, and the codec
// costs more than a megabyte of memory the first time it is used.
bool isAscii(QStringView text)
{
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x80; });
}

bool isAscii(QByteArrayView bytes)
{
    return std::all_of(bytes.begin(), bytes.end(), [](char c) { return uchar(c) < 0x80; });
}

} // namespace

namespace Cp932 {

std::optional<QByteArray> tryEncode(const QString &text)
{
    if (isAscii(text))
        return text.toLatin1();
    return encodeExactly(withWindowsForms(text));
}

QByteArray encode(const QString &text, const QString &fieldName)
{
    if (std::optional<QByteArray> bytes = tryEncode(text))
        return *bytes;
    const QString windowsText = withWindowsForms(text);

    const QString bad = firstUnmappable(windowsText);
    if (bad.isEmpty())
        throw KestrumError(QStringLiteral("%1 はｼﾌﾄJISで表せません。").arg(fieldName));
    const bool lone = bad.size() == 1 && bad.at(0).isSurrogate();
    const char32_t codePoint
        = bad.size() == 2 ? QChar::surrogateToUcs4(bad.at(0), bad.at(1)) : bad.at(0).unicode();
    throw KestrumError(QStringLiteral("%1 の文字「%2」(U+%3) はｼﾌﾄJISで表せません。")
                           .arg(fieldName, lone ? QString() : bad,
                                QString::number(codePoint, 16).toUpper().rightJustified(4, u'0')));
}

std::optional<QString> decode(const QByteArray &bytes)
{
    if (isAscii(bytes))
        return QString::fromLatin1(bytes);
    return Cp932Codec::decode(bytes);
}

} // namespace Cp932
