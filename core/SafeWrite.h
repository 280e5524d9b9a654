#pragma once

#include <QByteArray>
#include <QString>

namespace SafeWrite {

// Replaces the file at `path` with exactly `bytes`. The bytes go to a
// temporary file in the same directory that takes the file's place only once
// every byte is written and the file closed, so a failure leaves the old file
// as it was and no temporary file behind. The new file gets the old one's
// permissions.
//
// Where the directory does not let a file be created but the existing file
// may be written, the file is truncated and written in place instead: it
// keeps its permissions, owner and hard links, but a failed write leaves it
// cut short.
//
// A symbolic link to a file is written through, the link kept; a link to
// nothing or to a directory counts as a file that cannot be created.
// A read-only existing file counts as one that cannot be created, even for a
// user (root) whom the file system would let through, as it does on Windows.
//
// Raises KestrumError with "ﾌｧｲﾙ <path> を作成できません" when the file cannot
// be created or replaced, and "ｽﾄﾘｰﾑへの書き込みｴﾗｰ" when the bytes cannot all
// be written.
void replaceFile(const QString &path, const QByteArray &bytes);

} // namespace SafeWrite
