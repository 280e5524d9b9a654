// Feeds generated scripts to real resource compilers through the README's
// recipe, reads the compiled strings back, then links the resource into a
// Windows program that reads them through Windows' version API under Wine:
// what the user typed is what Windows says.
#include "Cp932.h"
#include "ResFile.h"
#include "TestFiles.h"
#include "VersionScript.h"

#include <QProcess>
#include <QStandardPaths>
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
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit)
        return { -1, "did not finish: " + process.errorString().toUtf8() };
    return { process.exitCode(), process.readAllStandardError() + process.readAllStandardOutput() };
}

QString tool(const QString &name)
{
    return QStandardPaths::findExecutable(name);
}

// The wrapper script of the README, as a user would copy it, including
// `script`.
void writeWrapper(const QString &path, const QString &script)
{
    const QByteArray readme = readBytes(u"%1/README.md"_qs.arg(KESTRUM_SOURCE_DIR));
    const qsizetype begin = readme.indexOf("```rc\n");
    const qsizetype end = readme.indexOf("```", begin + 6);
    QVERIFY2(begin >= 0 && end > begin, "README.md has no rc block");
    QByteArray wrapper = readme.mid(begin + 6, end - begin - 6);
    QVERIFY(wrapper.contains("#include \"Kestrum.rc\""));
    wrapper.replace("\"Kestrum.rc\"", '"' + script.toUtf8() + '"');
    QVERIFY(writeBytes(path, wrapper));
}

// Wine in the prefix the test run prepared (WINEPREFIX), in a Japanese
// locale.
QProcessEnvironment wineEnvironment()
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"LC_ALL"_qs, u"ja_JP.UTF-8"_qs);
    environment.remove(u"DISPLAY"_qs);
    return environment;
}

// What VersionReader.exe printed: each value it found, and the translation
// as the two 16-bit numbers language and code page.
QMap<QString, QString> parseReader(const QByteArray &output)
{
    QMap<QString, QString> found;
    for (const QByteArray &line : output.split('\n')) {
        const qsizetype equals = line.indexOf('=');
        if (equals < 0)
            continue;
        const QByteArray hex = line.mid(equals + 1).trimmed();
        QString value;
        for (qsizetype i = 0; i + 4 <= hex.size(); i += 4)
            value += QChar(char16_t(hex.mid(i, 4).toUShort(nullptr, 16)));
        found.insert(QString::fromLatin1(line.first(equals)), value);
    }
    return found;
}

} // namespace

class TestResCompile : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void compiles_data();
    void compiles();

private:
    void readThroughWindows(const QString &directory, const QStringList &typed);

    QTemporaryDir m_reader;
};

// The reader program, compiled once; each case links its own resource in.
void TestResCompile::initTestCase()
{
    const QString gcc = tool(u"x86_64-w64-mingw32-gcc"_qs);
    QVERIFY2(!gcc.isEmpty(), "x86_64-w64-mingw32-gcc is not installed (gcc-mingw-w64-x86-64)");
    QVERIFY2(!tool(u"wine"_qs).isEmpty(), "wine is not installed");
    const Run result
        = run(gcc,
              { u"-O2"_qs, u"-c"_qs, u"%1/tests/VersionReader.c"_qs.arg(KESTRUM_SOURCE_DIR),
                u"-o"_qs, u"reader.o"_qs },
              m_reader.path());
    QVERIFY2(result.exitCode == 0, result.errors.constData());
}

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
    // Typed quotes and backslashes, which the script doubles.
    const QStringList escapes = { u"株式会社\"テスト\""_qs,
                                  u"A\"B"_qs,
                                  u"x\\"_qs,
                                  u"C:\\Program Files\\ACME\\new"_qs,
                                  u"a\\\\b"_qs,
                                  u"ACME\" VALUE \"Comments\", \"x"_qs,
                                  u"\\000"_qs,
                                  u"\""_qs };
    // Control characters, as a paste can put them into an edit.
    const QStringList controls = { u"a\r\nb"_qs, u"tab\there"_qs, u"\x1A"_qs, u"x\n1"_qs,
                                   u"\x7F"_qs,   u"\x01\x1F"_qs,  u"Acme"_qs, u"2.3\r"_qs };
    // The largest value a version resource holds, in kanji and katakana.
    QStringList largest(8);
    largest[1] = QString(32500, u'漢').append(u'ｱ');

    for (const QString &compiler : { u"llvm-rc"_qs, u"windres"_qs }) {
        QTest::newRow(qPrintable(compiler + u" ascii"_qs)) << ascii << compiler;
        QTest::newRow(qPrintable(compiler + u" japanese"_qs)) << japanese << compiler;
        QTest::newRow(qPrintable(compiler + u" empty"_qs)) << empty << compiler;
        QTest::newRow(qPrintable(compiler + u" quotes and backslashes"_qs)) << escapes << compiler;
        QTest::newRow(qPrintable(compiler + u" largest that fits"_qs)) << largest << compiler;
        QTest::newRow(qPrintable(compiler + u" control characters"_qs)) << controls << compiler;
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
        const auto text = Cp932::decode(readBytes(dir.filePath(u"Kestrum.rc"_qs)));
        QVERIFY(text);
        QVERIFY(writeBytes(dir.filePath(u"Kestrum-utf8.rc"_qs), text->toUtf8()));
        writeWrapper(dir.filePath(u"app.rc"_qs), u"Kestrum-utf8.rc"_qs);
        result = run(llvmRc,
                     { u"/C"_qs, u"65001"_qs, u"/I"_qs, windowsHeaders, u"/FO"_qs, u"out.res"_qs,
                       u"app.rc"_qs },
                     dir.path());
    } else {
        const QString windres = tool(u"x86_64-w64-mingw32-windres"_qs);
        QVERIFY2(!windres.isEmpty(), "windres is not installed (binutils-mingw-w64-x86-64)");
        QVERIFY2(!tool(u"clang-14"_qs).isEmpty(), "clang-14 is not installed");
        writeWrapper(dir.filePath(u"app.rc"_qs), u"Kestrum.rc"_qs);
        // clang preprocesses for a Windows target, which <winver.h> insists on.
        result = run(
            windres,
            { u"--preprocessor=clang-14"_qs, u"--preprocessor-arg=-E"_qs,
              u"--preprocessor-arg=-xc"_qs, u"--preprocessor-arg=--target=x86_64-w64-mingw32"_qs,
              u"--preprocessor-arg=-DRC_INVOKED"_qs, u"-I"_qs, windowsHeaders, u"-c"_qs, u"932"_qs,
              u"-i"_qs, u"app.rc"_qs, u"-O"_qs, u"res"_qs, u"-o"_qs, u"out.res"_qs },
            dir.path());
    }
    QVERIFY2(result.exitCode == 0, result.errors.constData());
    QVERIFY2(result.errors.isEmpty(), result.errors.constData()); // a warning is a failure

    const auto resource = readVersionResource(readBytes(dir.filePath(u"out.res"_qs)));
    QVERIFY(resource);
    QCOMPARE(resource->name, u"#1"_qs);
    QCOMPARE(resource->language, 0x0411);
    QCOMPARE(qsizetype(resource->size), VersionScript::resourceBytes(values));
    QCOMPARE(resource->stringTable, u"041103A4"_qs);
    QCOMPARE(resource->translation, QByteArray("\x11\x04\xA4\x03", 4));
    QStringList sortedKeys = keys;
    sortedKeys.sort();
    QCOMPARE(resource->strings.keys(), sortedKeys);
    for (int i = 0; i < VersionScript::valueCount; ++i)
        QCOMPARE(resource->strings.value(keys.at(i)), typed.at(i));

    readThroughWindows(dir.path(), typed);
}

// The compiled resource linked into VersionReader.exe, which asks Windows'
// version API for every value.
void TestResCompile::readThroughWindows(const QString &directory, const QStringList &typed)
{
    const Run converted = run(tool(u"x86_64-w64-mingw32-windres"_qs),
                              { u"-J"_qs, u"res"_qs, u"-i"_qs, u"out.res"_qs, u"-O"_qs, u"coff"_qs,
                                u"-o"_qs, u"res.o"_qs },
                              directory);
    QVERIFY2(converted.exitCode == 0, converted.errors.constData());
    const Run linked = run(tool(u"x86_64-w64-mingw32-gcc"_qs),
                           { m_reader.filePath(u"reader.o"_qs), u"res.o"_qs, u"-lversion"_qs,
                             u"-o"_qs, u"VersionReader.exe"_qs },
                           directory);
    QVERIFY2(linked.exitCode == 0, linked.errors.constData());

    QProcess reader;
    reader.setWorkingDirectory(directory);
    reader.setProcessEnvironment(wineEnvironment());
    reader.start(tool(u"wine"_qs), { u"VersionReader.exe"_qs });
    QVERIFY(reader.waitForFinished(120000));
    const QByteArray output = reader.readAllStandardOutput();
    QVERIFY2(reader.exitCode() == 0, output.constData());

    QMap<QString, QString> expected;
    expected.insert(u"Translation"_qs, QString(QChar(0x0411)) + QChar(0x03A4));
    for (int i = 0; i < VersionScript::valueCount; ++i)
        expected.insert(keys.at(i), typed.at(i));
    QCOMPARE(parseReader(output), expected);
}

QTEST_GUILESS_MAIN(TestResCompile)
#include "tst_rescompile.moc"
