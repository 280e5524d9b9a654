#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// One value read from or written to a profile file on disk. Neither raises:
// the user is told about a failed write by the caller, and a read that goes
// wrong gives the default.
namespace ProfileFile {

// At most this many bytes of a value come back from a read.
constexpr qsizetype maxValueBytes = 1023;

// A file larger than this is not a profile this program wrote or anyone edits
// by hand: reads find nothing in it and writes leave it alone.
constexpr qint64 maxFileBytes = 16 * 1024 * 1024;

// The value under `key` in `section` of the file at `path`, cut to
// maxValueBytes without splitting a double-byte character. `fallback`, without
// its trailing spaces and cut the same way, when the file, the section or the
// key is missing, or when the file cannot be read as a profile. Section, key
// and value are code page 932 whatever the file's encoding.
QByteArray read(const QString &path, QByteArrayView section, QByteArrayView key,
                const QByteArray &fallback);

// Stores `value` under `key` in `section`, creating the file or the section
// when missing. The file is replaced as a whole, atomically. False, with the
// file unchanged, when it cannot be read or replaced.
bool write(const QString &path, QByteArrayView section, QByteArrayView key, QByteArrayView value);

} // namespace ProfileFile
