// Feeds generated scripts to real resource compilers and reads the compiled
// strings back, so that what the user typed is what a program's version
// resource will say.
#include "Cp932.h"
#include "ResFile.h"
#include "TestFiles.h"
#include "VersionScript.h"

#include <QProcess>
#include <QStandardPaths>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QString windowsHeaders = u"/usr/share/mingw-w64/include"_qs;
const QStringList keys
    = { u"CompanyName"_qs,    u"FileDescription"_qs,  u"FileVersion"_qs, u"InternalName"_qs,
        u"LegalCopyright"_qs, u"OriginalFilename"_qs, u"ProductName"_qs, u"ProductVersion"_qs };

struct Run
{
    int exitCode = -1;
    QByteArray errors;
};

Run run(const QString &program, const QStringList &arguments, const QString &directory)
{
    QProcess process;
    process.setWorkingDirectory(directory);
    process.start(program, arguments);
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit)
        return { -1, "did not finish: " + process.errorString().toUtf8() };
    return { process.exitCode(), process.readAllStandardError() + process.readAllStandardOutput() };
}

QString tool(const QString &name)
{
    return QStandardPaths::findExecutable(name);
}

// A script that pulls in the constants of <winver.h>, then the script itself.
void writeWrapper(const QString &path, const QString &script)
{
    QVERIFY(writeBytes(path, "#include <winver.h>\r\n#include \"" + script.toUtf8() + "\"\r\n"));
}

} // namespace

class TestResCompile : public QObject
{
    Q_OBJECT

private slots:
    void compiles_data();
    void compiles();
};

void TestResCompile::compiles_data()
{
    QTest::addColumn<QStringList>("typed");
    QTest::addColumn<QString>("compiler");

    const QStringList ascii = {
        u"Acme Corporation"_qs,        u"Acme Tool"_qs,    u"2.3.4.5"_qs,         u"acmetool"_qs,
        u"Copyright (C) 2026 Acme"_qs, u"acmetool.exe"_qs, u"Acme Tool Suite"_qs, u"2.3"_qs
    };
    const QStringList japanese = { u"株式会社ケストラム"_qs,
                                   u"ﾊﾞｰｼﾞｮﾝ ﾘｿｰｽ 作成ﾂｰﾙ"_qs,
                                   u"１．０"_qs,
                                   u"内部名①Ⅰ㈱"_qs,
                                   u"著作権 髙橋 ～"_qs,
                                   u"ｹｽﾄﾗﾑ.exe"_qs,
                                   u"製品名"_qs,
                                   u""_qs };
    // Second byte 0x5C: ソ, 表, 能, 十. The GNU compiler reads that byte as an
    // escape, so these go through llvm-rc only.
    const QStringList trailBackslash
        = { u"ソフト表示"_qs, u"機能"_qs,     u"十"_qs,     u"ソ"_qs,
            u"表"_qs,         u"能力.exe"_qs, u"ソフト"_qs, u"1.0"_qs };
    const QStringList empty(8);

    for (const QString &compiler : { u"llvm-rc"_qs, u"windres"_qs }) {
        QTest::newRow(qPrintable(compiler + u" ascii"_qs)) << ascii << compiler;
        QTest::newRow(qPrintable(compiler + u" japanese"_qs)) << japanese << compiler;
        QTest::newRow(qPrintable(compiler + u" empty"_qs)) << empty << compiler;
    }
    QTest::newRow("llvm-rc trail byte 0x5C") << trailBackslash << u"llvm-rc"_qs;
}

void TestResCompile::compiles()
{
    QFETCH(QStringList, typed);
    QFETCH(QString, compiler);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());

    VersionScript::Values values;
    for (int i = 0; i < VersionScript::valueCount; ++i)
        values[i] = Cp932::encode(typed.at(i), keys.at(i));
    VersionScript::make(VersionScript::buildTemplate(), values, dir.path() + u'/');

    Run result;
    if (compiler == u"llvm-rc") {
        const QString llvmRc = tool(u"llvm-rc-14"_qs);
        QVERIFY2(!llvmRc.isEmpty(), "llvm-rc-14 is not installed (package llvm-14)");
        QStringDecoder fromCp932("windows-31j");
        const QString text = fromCp932.decode(readBytes(dir.filePath(u"Kestrum.rc"_qs)));
        QVERIFY(!fromCp932.hasError());
        QVERIFY(writeBytes(dir.filePath(u"utf8.rc"_qs), text.toUtf8()));
        writeWrapper(dir.filePath(u"wrapper.rc"_qs), u"utf8.rc"_qs);
        result = run(llvmRc,
                     { u"/C"_qs, u"65001"_qs, u"/I"_qs, windowsHeaders, u"/FO"_qs, u"out.res"_qs,
                       u"wrapper.rc"_qs },
                     dir.path());
    } else {
        const QString windres = tool(u"x86_64-w64-mingw32-windres"_qs);
        QVERIFY2(!windres.isEmpty(), "windres is not installed (binutils-mingw-w64-x86-64)");
        QVERIFY2(!tool(u"clang-14"_qs).isEmpty(), "clang-14 is not installed");
        writeWrapper(dir.filePath(u"wrapper.rc"_qs), u"Kestrum.rc"_qs);
        // clang preprocesses for a Windows target, which <winver.h> insists on.
        result = run(
            windres,
            { u"--preprocessor=clang-14"_qs, u"--preprocessor-arg=-E"_qs,
              u"--preprocessor-arg=-xc"_qs, u"--preprocessor-arg=--target=x86_64-w64-mingw32"_qs,
              u"--preprocessor-arg=-DRC_INVOKED"_qs, u"-I"_qs, windowsHeaders, u"-c"_qs, u"932"_qs,
              u"-i"_qs, u"wrapper.rc"_qs, u"-O"_qs, u"res"_qs, u"-o"_qs, u"out.res"_qs },
            dir.path());
    }
    QVERIFY2(result.exitCode == 0, result.errors.constData());
    QVERIFY2(result.errors.isEmpty(), result.errors.constData()); // a warning is a failure

    const auto resource = readVersionResource(readBytes(dir.filePath(u"out.res"_qs)));
    QVERIFY(resource);
    QCOMPARE(resource->name, u"VERSIONINFO_1"_qs);
    QCOMPARE(resource->stringTable, u"041103A4"_qs);
    QCOMPARE(resource->translation, QByteArray("\x11\x04\xA4\x03", 4));
    QStringList sortedKeys = keys;
    sortedKeys.sort();
    QCOMPARE(resource->strings.keys(), sortedKeys);
    for (int i = 0; i < VersionScript::valueCount; ++i)
        QCOMPARE(resource->strings.value(keys.at(i)), typed.at(i));
}

QTEST_GUILESS_MAIN(TestResCompile)
#include "tst_rescompile.moc"
