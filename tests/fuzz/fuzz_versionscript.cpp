// The script writer, fed eight typed values of any text and any length, as
// Make gets them from its edits. Make refuses with a message, or writes 25
// lines of code page 932, each ended by CR LF, whose eight string literals,
// read the way a resource compiler reads them, are the typed values; every
// other byte is what it is for eight empty values.
#include "Cp932.h"
#include "KestrumError.h"
#include "VersionScript.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <vector>

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

// Enough for one value to pass the 65,535 bytes of a version resource alone.
constexpr qsizetype longestValue = 40000;

// One typed value: UTF-16 units as they come (lone surrogates too) or UTF-8,
// possibly repeated, so that a short input reaches the size limit.
QString typedValue(FuzzedDataProvider &input)
{
    const bool utf16 = input.ConsumeBool();
    const std::string bytes = input.ConsumeRandomLengthString(100);
    QString text;
    if (utf16) {
        std::vector<char16_t> units(bytes.size() / 2);
        if (!units.empty())
            std::memcpy(units.data(), bytes.data(), units.size() * sizeof(char16_t));
        text = QString::fromUtf16(units.data(), qsizetype(units.size()));
    } else {
        text = QString::fromStdString(bytes);
    }
    if (text.isEmpty() || !input.ConsumeBool())
        return text;
    return text.repeated(
        input.ConsumeIntegralInRange<qsizetype>(2, longestValue / text.size() + 1));
}

// What code page 932 holds for the characters that input methods outside
// Windows type for the same JIS characters.
QString windowsForms(QString text)
{
    return text.replace(u'\u301C', u'\uFF5E')
        .replace(u'\u2016', u'\u2225')
        .replace(u'\u2212', u'\uFF0D')
        .replace(u'\u00A2', u'\uFFE0')
        .replace(u'\u00A3', u'\uFFE1')
        .replace(u'\u00AC', u'\uFFE2')
        .replace(u'\u2014', u'\u2015');
}

// The reader of the script, written apart from the writer: what a resource
// compiler reading code page 932 makes of a line. A lead byte takes the next
// byte with it whatever that is; in a string literal "" is one quote, \\ one
// backslash and \ with one to three octal digits the byte they make; any
// other escape, or a literal left open, is an error.
bool isLeadByte(uchar byte)
{
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

struct Line
{
    QByteArray outside; // the bytes between literals, each literal as one '"'
    QByteArrayList literals; // what each literal holds
};

// The literal whose opening quote is at line[i], its bytes added to `text`;
// the index after its closing quote, or -1.
qsizetype readLiteral(const QByteArray &line, qsizetype i, QByteArray &text)
{
    for (++i; i < line.size();) {
        const char c = line[i];
        if (isLeadByte(uchar(c)) && i + 1 < line.size()) {
            text += line.mid(i, 2);
            i += 2;
        } else if (c == '"') {
            if (i + 1 == line.size() || line[i + 1] != '"')
                return i + 1;
            text += '"';
            i += 2;
        } else if (c == '\\' && i + 1 < line.size() && line[i + 1] == '\\') {
            text += '\\';
            i += 2;
        } else if (c == '\\') {
            int code = 0;
            qsizetype digits = 0;
            for (; digits < 3 && i + 1 + digits < line.size(); ++digits) {
                const char digit = line[i + 1 + digits];
                if (digit < '0' || digit > '7')
                    break;
                code = code * 8 + (digit - '0');
            }
            if (digits == 0 || code > 0xFF)
                return -1;
            text += char(code);
            i += 1 + digits;
        } else {
            text += c;
            ++i;
        }
    }
    return -1;
}

std::optional<Line> readLine(const QByteArray &bytes)
{
    Line line;
    for (qsizetype i = 0; i < bytes.size();) {
        if (bytes[i] != '"') {
            line.outside += bytes[i++];
            continue;
        }
        line.outside += '"';
        line.literals.append(QByteArray());
        i = readLiteral(bytes, i, line.literals.last());
        if (i < 0)
            return std::nullopt;
    }
    return line;
}

// The lines of `script`, or nothing unless every line ends in CR LF and no
// CR or LF stands anywhere else. Neither is ever the second byte of a
// double-byte character.
std::optional<std::vector<Line>> readScript(QByteArray script)
{
    const qsizetype ends = script.count("\r\n");
    if (!script.endsWith("\r\n") || script.count('\r') != ends || script.count('\n') != ends)
        return std::nullopt;
    std::vector<Line> lines;
    for (const QByteArray &bytes : script.replace("\r\n", "\n").chopped(1).split('\n')) {
        std::optional<Line> line = readLine(bytes);
        if (!line)
            return std::nullopt;
        lines.push_back(*line);
    }
    return lines;
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    check(file.open(QIODevice::ReadOnly));
    return file.readAll();
}

// Every input writes Kestrum.rc; in memory where there is a file system
// there, as a disk's sync would slow the fuzzer down to a crawl.
QString scratchPattern()
{
    const QString memory = u"/dev/shm"_qs;
    return (QDir(memory).exists() ? memory : QDir::tempPath()) + u"/fuzz_versionscript-XXXXXX"_qs;
}

struct Scratch
{
    QTemporaryDir dir { scratchPattern() };
    QString directory = dir.path() + u'/';
    QString script = directory + QLatin1String(VersionScript::fileName);
    std::vector<Line> empty; // the script for eight empty values
};

Scratch &scratch()
{
    static Scratch scratch = [] {
        Scratch made;
        check(made.dir.isValid());
        VersionScript::make(VersionScript::buildTemplate(), {}, made.directory);
        std::optional<std::vector<Line>> lines = readScript(readFile(made.script));
        check(lines && lines->size() == VersionScript::lineCount);
        made.empty = *lines;
        return made;
    }();
    return scratch;
}

// Every line as for empty values, except that each value line's last literal
// starts with the typed value, in code page 932.
void checkScript(const QByteArray &script,
                 const std::array<QString, VersionScript::valueCount> &typed)
{
    const std::vector<Line> &empty = scratch().empty;
    const std::optional<std::vector<Line>> lines = readScript(script);
    check(lines && lines->size() == empty.size());
    for (std::size_t i = 0; i < empty.size(); ++i) {
        const Line &line = (*lines)[i];
        check(line.outside == empty[i].outside && line.literals.size() == empty[i].literals.size());
        const qsizetype v = qsizetype(i) - VersionScript::firstValueLine;
        if (v < 0 || v >= VersionScript::valueCount) {
            check(line.literals == empty[i].literals);
            continue;
        }
        check(line.literals.first(line.literals.size() - 1)
              == empty[i].literals.first(line.literals.size() - 1));
        const QByteArray &value = line.literals.last();
        const QByteArray &end = empty[i].literals.last();
        check(value.endsWith(end));
        check(Cp932::decode(value.chopped(end.size())) == windowsForms(typed[v]));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider input(data, size);
    std::array<QString, VersionScript::valueCount> typed;
    for (QString &value : typed)
        value = typedValue(input);

    const Scratch &place = scratch();
    QFile::remove(place.script);
    const VersionScript::FieldNames names = VersionScript::keyNames();
    VersionScript::Values values;
    try {
        for (int v = 0; v < VersionScript::valueCount; ++v)
            values[v] = Cp932::encode(typed[v], names[v]);
        VersionScript::make(VersionScript::buildTemplate(), values, place.directory, names);
    } catch (const KestrumError &error) {
        // Refused: a character code page 932 cannot hold, or a resource too
        // large; the message says which field, and nothing is written.
        check(!QFile::exists(place.script));
        check(std::any_of(names.begin(), names.end(), [&error](const QString &name) {
            return error.message().startsWith(name + u' ');
        }));
        const bool encodable = std::all_of(typed.begin(), typed.end(), [](const QString &text) {
            return Cp932::tryEncode(text).has_value();
        });
        check(!encodable || VersionScript::resourceBytes(values) > VersionScript::maxResourceBytes);
        return 0;
    }
    checkScript(readFile(place.script), typed);
    return 0;
}
