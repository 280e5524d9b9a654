#include "VersionScript.h"

#include "SafeWrite.h"

namespace VersionScript {

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
        addLine(templateLines.at(firstValueLine + v) + '"' + values[v] + terminator);
    }

    for (int i = firstValueLine + valueCount; i < lineCount; ++i)
        addLine(templateLines.at(i));
    return script;
}

void make(const QByteArrayList &templateLines, const Values &values, const QString &directory)
{
    SafeWrite::replaceFile(directory + QLatin1String(fileName), assemble(templateLines, values));
}

} // namespace VersionScript
