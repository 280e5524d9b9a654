#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// The one place where the Unicode text of the user interface meets the code
// page 932 (Shift-JIS, Microsoft's variant) bytes that Kestrum.rc and
// Kestrum.ini hold.
namespace Cp932 {

// The bytes of `text`. A character that code page 932 cannot hold raises a
// KestrumError whose message names `fieldName` and the character: writing a
// substitute would silently corrupt the value.
QByteArray encode(const QString &text, const QString &fieldName);

// The bytes of `text`, or nothing when code page 932 cannot hold all of it.
std::optional<QByteArray> tryEncode(const QString &text);

// The text of `bytes`, or nothing when they are not valid code page 932.
std::optional<QString> decode(const QByteArray &bytes);

// True when `byte` opens a double-byte character.
constexpr bool isLeadByte(unsigned char byte)
{
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

} // namespace Cp932
