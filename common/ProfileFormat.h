#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <optional>

// The Windows profile-file format, on the file's bytes, as Windows reads and
// writes it, because that is what existing Kestrum.ini files and other
// programs expect:
//
// - CR, LF and CR LF end lines; the last line may lack its end.
// - Lines, section names, keys and values are trimmed of blanks (tab to CR,
//   space and 0x1A); one pair of matching " or ' around a value is removed.
//   The section and key asked for are trimmed the same way.
// - Section and key names match without regard to ASCII case; the first
//   matching section and its first matching key win. Lines above the first
//   section belong to no section; a line without '=' holds no value; ';' is an
//   ordinary character.
//
// In code page 932 text, double-byte characters are stepped over whole, so
// that a trail byte that looks like ']' or a letter is never taken for one.
// UTF-8 needs no such care: its multi-byte characters hold no ASCII bytes.
namespace ProfileFormat {

enum class Text { Cp932, Utf8 };

// The value under `key` in `section`, or nothing when either is missing.
std::optional<QByteArray> findValue(QByteArrayView content, QByteArrayView section,
                                    QByteArrayView key, Text text = Text::Cp932);

// `content` with `value` stored under `key` in `section`. Only the key's line
// changes (or is added); every other byte stays as it was. A value that would
// not read back as written (blanks at either end, or wrapped in a matching
// pair of quotes) is stored inside one extra pair of double quotes.
QByteArray withValue(const QByteArray &content, QByteArrayView section, QByteArrayView key,
                     QByteArrayView value, Text text = Text::Cp932);

// Whether `value` can be stored at all: a line end or NUL in it would end
// the line early and could forge other keys.
bool isStorable(QByteArrayView value);

} // namespace ProfileFormat
