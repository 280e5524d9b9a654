#include "ProfileFile.h"

#include "Cp932.h"
#include "KestrumError.h"
#include "ProfileFormat.h"
#include "SafeWrite.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <QStringEncoder>

#include <optional>

namespace {

using ProfileFormat::Text;

const QByteArray utf8Mark = "\xEF\xBB\xBF";
const QByteArray utf16LeMark = "\xFF\xFE";

// A profile file as the format code sees it. Code page 932 and UTF-8 files
// are worked on as their own bytes; a UTF-16 file is worked on as UTF-8 and
// turned back into UTF-16 when saved, which loses nothing.
struct Document
{
    enum Encoding { Cp932, Utf8, Utf16Le };

    Encoding encoding = Cp932;
    QByteArray body; // without the byte-order mark

    Text text() const { return encoding == Cp932 ? Text::Cp932 : Text::Utf8; }
};

std::optional<Document> parse(const QByteArray &file)
{
    if (file.startsWith(utf8Mark))
        return Document { Document::Utf8, file.sliced(utf8Mark.size()) };
    if (file.startsWith(utf16LeMark)) {
        QStringDecoder decoder(QStringConverter::Utf16LE, QStringConverter::Flag::Stateless);
        const QByteArray units = file.sliced(utf16LeMark.size());
        const QString text = decoder.decode(units);
        if (decoder.hasError() || units.size() % 2 != 0 || !text.isValidUtf16())
            return std::nullopt;
        return Document { Document::Utf16Le, text.toUtf8() };
    }
    return Document { Document::Cp932, file };
}

QByteArray serialise(const Document &document)
{
    switch (document.encoding) {
    case Document::Utf8:
        return utf8Mark + document.body;
    case Document::Utf16Le: {
        QStringEncoder encoder(QStringConverter::Utf16LE, QStringConverter::Flag::Stateless);
        return utf16LeMark + QByteArray(encoder.encode(QString::fromUtf8(document.body)));
    }
    case Document::Cp932:
        break;
    }
    return document.body;
}

// The profile at `path`: an empty one when the file does not exist, nothing
// when it exists but cannot be read as a profile.
std::optional<Document> load(const QString &path)
{
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink())
        return Document {};
    if (!info.isFile() || info.size() > ProfileFile::maxFileBytes)
        return std::nullopt;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray content = file.read(ProfileFile::maxFileBytes + 1);
    if (file.error() != QFileDevice::NoError || content.size() > ProfileFile::maxFileBytes)
        return std::nullopt;
    return parse(content);
}

// A value as stored in `document` converted to code page 932 and back.
std::optional<QByteArray> toCp932(const QByteArray &value, const Document &document)
{
    if (document.encoding == Document::Cp932)
        return value;
    return Cp932::tryEncode(QString::fromUtf8(value));
}

std::optional<QByteArray> fromCp932(QByteArrayView value, const Document &document)
{
    if (document.encoding == Document::Cp932)
        return value.toByteArray();
    const std::optional<QString> text = Cp932::decode(value.toByteArray());
    return text ? std::optional(text->toUtf8()) : std::nullopt;
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

// The default as Windows gives it back: without trailing spaces, and cut to
// the read limit like a value.
QByteArray defaultValue(QByteArray fallback)
{
    while (fallback.endsWith(' '))
        fallback.chop(1);
    return limited(fallback);
}

struct Names
{
    QByteArray section;
    QByteArray key;
};

// The section and key names, given in code page 932, as `document` holds
// them; nothing when they have no form there.
std::optional<Names> namesIn(const Document &document, QByteArrayView section, QByteArrayView key)
{
    std::optional<QByteArray> sectionName = fromCp932(section, document);
    std::optional<QByteArray> keyName = fromCp932(key, document);
    if (!sectionName || !keyName)
        return std::nullopt;
    return Names { *sectionName, *keyName };
}

} // namespace

namespace ProfileFile {

QByteArray read(const QString &path, QByteArrayView section, QByteArrayView key,
                const QByteArray &fallback)
{
    const std::optional<Document> document = load(path); // a missing file reads as empty
    const std::optional<Names> names = document ? namesIn(*document, section, key) : std::nullopt;
    const std::optional<QByteArray> value = names
        ? ProfileFormat::findValue(document->body, names->section, names->key, document->text())
        : std::nullopt;
    if (!value)
        return defaultValue(fallback);
    return limited(toCp932(*value, *document).value_or(QByteArray()));
}

bool write(const QString &path, QByteArrayView section, QByteArrayView key, QByteArrayView value)
{
    std::optional<Document> document = load(path);
    if (!document || !ProfileFormat::isStorable(value))
        return false;
    const std::optional<Names> names = namesIn(*document, section, key);
    const std::optional<QByteArray> stored = fromCp932(value, *document);
    if (!names || !stored)
        return false;
    document->body = ProfileFormat::withValue(document->body, names->section, names->key, *stored,
                                              document->text());
    try {
        SafeWrite::replaceFile(path, serialise(*document));
        return true;
    } catch (const KestrumError &) {
        return false;
    }
}

} // namespace ProfileFile
