#include "ProfileFile.h"

#include "Cp932.h"
#include "KestrumError.h"
#include "ProfileFormat.h"
#include "SafeWrite.h"

#include <QFile>
#include <QFileInfo>

#include <optional>

namespace {

// The whole file, an empty one when it does not exist, or nothing when it
// exists but cannot be read as a profile.
std::optional<QByteArray> loadContent(const QString &path)
{
    const QFileInfo info(path);
    if (!info.exists())
        return QByteArray();
    if (!info.isFile() || info.size() > ProfileFile::maxFileBytes)
        return std::nullopt;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    QByteArray content = file.read(ProfileFile::maxFileBytes + 1);
    if (file.error() != QFileDevice::NoError || content.size() > ProfileFile::maxFileBytes)
        return std::nullopt;
    return content;
}

// `value` cut to the read limit, ending before a double-byte character that
// would otherwise be cut in half. Like the C string it comes back in on
// Windows, the value also ends at a NUL byte.
QByteArray limited(QByteArray value)
{
    if (const qsizetype nul = value.indexOf('\0'); nul >= 0)
        value.truncate(nul);
    qsizetype end = 0;
    while (end < value.size()) {
        const qsizetype width = Cp932::isLeadByte(uchar(value[end])) ? 2 : 1;
        if (end + width > ProfileFile::maxValueBytes)
            break;
        end += width;
    }
    value.truncate(std::min(end, value.size()));
    return value;
}

} // namespace

namespace ProfileFile {

QByteArray read(const QString &path, QByteArrayView section, QByteArrayView key,
                const QByteArray &fallback)
{
    if (!QFileInfo::exists(path))
        return fallback;
    const std::optional<QByteArray> content = loadContent(path);
    if (!content)
        return {};
    const std::optional<QByteArray> value = ProfileFormat::findValue(*content, section, key);
    return value ? limited(*value) : fallback;
}

bool write(const QString &path, QByteArrayView section, QByteArrayView key, QByteArrayView value)
{
    if (!ProfileFormat::isStorable(value))
        return false;
    const std::optional<QByteArray> content = loadContent(path);
    if (!content)
        return false;
    try {
        SafeWrite::replaceFile(path, ProfileFormat::withValue(*content, section, key, value));
        return true;
    } catch (const KestrumError &) {
        return false;
    }
}

} // namespace ProfileFile
