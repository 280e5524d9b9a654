#include "VersionScript.h"

#include "Cp932.h"
#include "KestrumError.h"
#include "SafeWrite.h"

#include <algorithm>
#include <cstring>

namespace {

// `value` as the inside of a string literal. The second byte of a
// double-byte character (0x5C in ソ, 表, 能) belongs to that character and is
// never doubled. A control character, such as a line end pasted into an
// edit, is written as its octal escape, as the terminators' NULs are: a raw
// line end would split the literal, and compilers refuse the script then.
QByteArray escaped(const QByteArray &value)
{
    QByteArray result;
    result.reserve(value.size());
    for (qsizetype i = 0; i < value.size(); ++i) {
        const uchar c = uchar(value[i]);
        if (Cp932::isLeadByte(c) && i + 1 < value.size()) {
            result += value.mid(i++, 2);
        } else if (c == '"' || c == '\\') {
            result += QByteArray(2, char(c));
        } else if (c < 0x20 || c == 0x7F) {
            result += '\\' + QByteArray::number(c, 8).rightJustified(3, '0');
        } else {
            result += char(c);
        }
    }
    return result;
}

// The number of characters, and so of UTF-16 units, in `value`.
qsizetype characterCount(const QByteArray &value)
{
    qsizetype count = 0;
    for (qsizetype i = 0; i < value.size(); i += Cp932::isLeadByte(uchar(value[i])) ? 2 : 1)
        ++count;
    return count;
}

constexpr qsizetype aligned(qsizetype bytes)
{
    return (bytes + 3) & ~qsizetype(3);
}

// One String block: wLength, wValueLength and wType, the key and the value,
// each NUL-terminated, the value starting on a 32-bit boundary.
qsizetype stringBytes(const char *key, qsizetype characters)
{
    const qsizetype header = 3 * 2;
    return aligned(header + 2 * (qsizetype(std::strlen(key)) + 1)) + 2 * (characters + 1);
}

} // namespace

namespace VersionScript {

FieldNames keyNames()
{
    FieldNames names;
    std::transform(keys.begin(), keys.end(), names.begin(),
                   [](const char *key) { return QString::fromLatin1(key); });
    return names;
}

QByteArrayList buildTemplate()
{
    return {
        "VERSIONINFO_1 VERSIONINFO",
        "FILEVERSION 1, 0, 0, 0",
        "PRODUCTVERSION 1, 0, 0, 0",
        "FILEOS VOS_NT_WINDOWS32",
        "FILETYPE VFT_APP",
        "{",
        " BLOCK \"StringFileInfo\"",
        " {",
        "  BLOCK \"041103A4\"",
        "  {",
        "   VALUE \"CompanyName\", ",
        "   VALUE \"FileDescription\", ",
        "   VALUE \"FileVersion\", ",
        "   VALUE \"InternalName\", ",
        "   VALUE \"LegalCopyright\", ",
        "   VALUE \"OriginalFilename\", ",
        "   VALUE \"ProductName\", ",
        "   VALUE \"ProductVersion\", ",
        "  }",
        " }",
        " BLOCK \"VarFileInfo\"",
        " {",
        "  VALUE \"Translation\", 0x0411,932",
        " }",
        "}",
    };
}

QByteArray assemble(const QByteArrayList &templateLines, const Values &values)
{
    Q_ASSERT(templateLines.size() == lineCount);

    QByteArray script;
    const auto addLine = [&script](const QByteArray &line) {
        script += line;
        script += "\r\n";
    };

    for (int i = 0; i < firstValueLine; ++i)
        addLine(templateLines.at(i));

    // "\000" is the resource compiler's octal escape for NUL, written as its
    // four literal characters. The value lines alternate between closing with
    // two of them and with one, starting with two.
    for (int v = 0; v < valueCount; ++v) {
        const QByteArray terminator = v % 2 == 0 ? R"(\000\000")" : R"(\000")";
        addLine(templateLines.at(firstValueLine + v) + '"' + escaped(values[v]) + terminator);
    }

    for (int i = firstValueLine + valueCount; i < lineCount; ++i)
        addLine(templateLines.at(i));
    return script;
}

qsizetype resourceBytes(const Values &values)
{
    // Measured on what llvm-rc and windres write: VS_VERSIONINFO's header and
    // its VS_FIXEDFILEINFO take 92 bytes, StringFileInfo's header 36, the
    // "041103A4" table's header 24 and the whole of VarFileInfo 68. Blocks
    // follow each other on 32-bit boundaries; a parent's length counts the
    // padding between its children but not after the last.
    qsizetype table = 24;
    for (int v = 0; v < valueCount; ++v) {
        const qsizetype bytes = stringBytes(keys[v], characterCount(values[v]));
        table += v + 1 < valueCount ? aligned(bytes) : bytes;
    }
    return 92 + aligned(36 + table) + 68;
}

void checkSize(const Values &values, const FieldNames &fieldNames)
{
    const qsizetype bytes = resourceBytes(values);
    if (bytes <= maxResourceBytes)
        return;
    const auto longest = std::max_element(values.begin(), values.end(),
                                          [](const QByteArray &a, const QByteArray &b) {
                                              return characterCount(a) < characterCount(b);
                                          });
    throw KestrumError(
        QStringLiteral("%1 が長すぎます。ﾊﾞｰｼﾞｮﾝ情報は全体で%2ﾊﾞｲﾄまでですが、%3ﾊﾞｲﾄになります。")
            .arg(fieldNames[std::distance(values.begin(), longest)])
            .arg(maxResourceBytes)
            .arg(bytes));
}

void make(const QByteArrayList &templateLines, const Values &values, const QString &directory,
          const FieldNames &fieldNames)
{
    checkSize(values, fieldNames);
    SafeWrite::replaceFile(directory + QLatin1String(fileName), assemble(templateLines, values));
}

} // namespace VersionScript
