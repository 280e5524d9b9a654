#include "SafeWrite.h"

#include "KestrumError.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

namespace {

[[noreturn]] void cannotCreate(const QString &path)
{
    const QString nativePath = QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath());
    throw KestrumError(QStringLiteral("ﾌｧｲﾙ %1 を作成できません").arg(nativePath));
}

[[noreturn]] void cannotWrite()
{
    throw KestrumError(QStringLiteral("ｽﾄﾘｰﾑへの書き込みｴﾗｰ"));
}

bool isReplaceable(const QFileInfo &existing)
{
    return existing.isFile() && existing.permissions().testFlag(QFileDevice::WriteOwner);
}

} // namespace

namespace SafeWrite {

void replaceFile(const QString &path, const QByteArray &bytes)
{
    // A link is written through to the file it points at, and the link kept;
    // a link to nothing would put a new file wherever it points, so it is
    // refused.
    const QFileInfo existing(path);
    if ((existing.exists() || existing.isSymLink()) && !isReplaceable(existing))
        cannotCreate(path);

    // Unbuffered, so that a short write shows in write()'s count: a buffered
    // QSaveFile flushes inside commit(), and a flush that writes only part of
    // the bytes still lets commit() put the truncated file in place.
    QSaveFile file(path);
    // Where the directory refuses a new file but the file itself may be
    // written, the file is written in place, as the user would expect of a
    // file they may write; it keeps its owner and its hard links then.
    file.setDirectWriteFallback(true);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        cannotCreate(path);
    if (file.write(bytes) != bytes.size() || file.error() != QFileDevice::NoError)
        cannotWrite(); // ~QSaveFile removes the temporary file
    if (!file.commit()) {
        if (file.error() == QFileDevice::RenameError)
            cannotCreate(path);
        cannotWrite();
    }
}

} // namespace SafeWrite
