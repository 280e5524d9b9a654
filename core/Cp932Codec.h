#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// The platform's converter for code page 932, Microsoft's Shift-JIS: one
// implementation per platform, chosen by the build. Both directions map
// 0x00 to 0x7F to the same code points, backslash and tilde included, as
// Windows does.
namespace Cp932Codec {

// The bytes of `text`, or nothing when code page 932 has no bytes for one of
// its characters. No substitute is ever written. Raises KestrumError when the
// platform has no converter for code page 932.
std::optional<QByteArray> encode(const QString &text);

// The text of `bytes`, or nothing when they are not valid code page 932 or
// the platform cannot convert them.
std::optional<QString> decode(const QByteArray &bytes);

} // namespace Cp932Codec
