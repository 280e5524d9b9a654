#include "Cp932Codec.h"

#include "KestrumError.h"

#include <windows.h>

#include <climits>

namespace {

constexpr UINT codePage = 932;

bool haveCodePage()
{
    return IsValidCodePage(codePage);
}

} // namespace

namespace Cp932Codec {

std::optional<QByteArray> encode(const QString &text)
{
    if (!haveCodePage())
        throw KestrumError(QStringLiteral("ｺｰﾄﾞﾍﾟｰｼﾞ932の変換が使えません"));
    if (text.isEmpty())
        return QByteArray();
    if (text.size() > INT_MAX / 2)
        return std::nullopt;
    const auto *units = reinterpret_cast<const wchar_t *>(text.utf16());
    const int length = int(text.size());
    // No best fit: a character without bytes of its own would otherwise be
    // written as a look-alike (é as e) instead of being refused.
    BOOL usedDefault = FALSE;
    const int size = WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, units, length, nullptr, 0,
                                         nullptr, &usedDefault);
    if (size <= 0 || usedDefault)
        return std::nullopt;
    QByteArray bytes(size, Qt::Uninitialized);
    if (WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, units, length, bytes.data(), size,
                            nullptr, &usedDefault)
            != size
        || usedDefault)
        return std::nullopt;
    return bytes;
}

std::optional<QString> decode(const QByteArray &bytes)
{
    if (!haveCodePage())
        return std::nullopt;
    if (bytes.isEmpty())
        return QString();
    if (bytes.size() > INT_MAX)
        return std::nullopt;
    const int length = int(bytes.size());
    const int size = MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes.constData(), length,
                                         nullptr, 0);
    if (size <= 0)
        return std::nullopt;
    QString text(size, Qt::Uninitialized);
    if (MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes.constData(), length,
                            reinterpret_cast<wchar_t *>(text.data()), size)
        != size)
        return std::nullopt;
    return text;
}

} // namespace Cp932Codec
