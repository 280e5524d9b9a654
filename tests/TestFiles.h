#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

// Whole-file reads and writes for setting up and checking test files.
inline QByteArray readBytes(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return "<unreadable>";
    return file.readAll();
}

inline bool writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate)
        && file.write(bytes) == bytes.size();
}

inline QStringList filesIn(const QString &directory)
{
    return QDir(directory).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
}

// Whether a read-only directory fails to stop this process from creating
// files in it, so that such a test cannot be made from chmod alone: root
// ignores the permission bits, and Windows has none on directories.
inline bool ignoresPermissions()
{
#ifdef Q_OS_UNIX
    return ::geteuid() == 0;
#else
    return true;
#endif
}
