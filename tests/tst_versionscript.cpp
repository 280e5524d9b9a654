#include "KestrumError.h"
#include "TestFiles.h"
#include "VersionScript.h"

#include <QTemporaryDir>
#include <QTest>

#ifdef Q_OS_UNIX
#include "ChildExit.h"

#include <csignal>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace {

// The fixed lines of the script, written out by hand.
const QByteArray head = "VERSIONINFO_1 VERSIONINFO\r\n"
                        "FILEVERSION 1, 0, 0, 0\r\n"
                        "PRODUCTVERSION 1, 0, 0, 0\r\n"
                        "FILEOS VOS_NT_WINDOWS32\r\n"
                        "FILETYPE VFT_APP\r\n"
                        "{\r\n"
                        " BLOCK \"StringFileInfo\"\r\n"
                        " {\r\n"
                        "  BLOCK \"041103A4\"\r\n"
                        "  {\r\n";
const QByteArray tail = "  }\r\n"
                        " }\r\n"
                        " BLOCK \"VarFileInfo\"\r\n"
                        " {\r\n"
                        "  VALUE \"Translation\", 0x0411,932\r\n"
                        " }\r\n"
                        "}\r\n";

const VersionScript::Values asciiValues
    = { "Acme", "Tool", "2.3.4.5", "tool", "(c) Acme", "tool.exe", "Acme Tool", "2.3" };

QByteArray makeInto(const QString &directory, const VersionScript::Values &values)
{
    VersionScript::make(VersionScript::buildTemplate(), values, directory + u'/');
    return readBytes(directory + u"/Kestrum.rc"_qs);
}

} // namespace

class TestVersionScript : public QObject
{
    Q_OBJECT

private slots:
    void wholeFile_data();
    void wholeFile();
    void shape();
    void sizeLimit_data();
    void sizeLimit();
    void replacesLongerFileAndRepeatsExactly();
    void readOnlyFileIsLeftAlone();
    void missingDirectory();
    void shortWriteKeepsOldFile();
};

void TestVersionScript::wholeFile_data()
{
    QTest::addColumn<VersionScript::Values>("values");
    QTest::addColumn<QByteArray>("valueLines");

    QTest::newRow("all empty") << VersionScript::Values {}
                               << QByteArray("   VALUE \"CompanyName\", \"\\000\\000\"\r\n"
                                             "   VALUE \"FileDescription\", \"\\000\"\r\n"
                                             "   VALUE \"FileVersion\", \"\\000\\000\"\r\n"
                                             "   VALUE \"InternalName\", \"\\000\"\r\n"
                                             "   VALUE \"LegalCopyright\", \"\\000\\000\"\r\n"
                                             "   VALUE \"OriginalFilename\", \"\\000\"\r\n"
                                             "   VALUE \"ProductName\", \"\\000\\000\"\r\n"
                                             "   VALUE \"ProductVersion\", \"\\000\"\r\n");

    QTest::newRow("ascii") << asciiValues
                           << QByteArray("   VALUE \"CompanyName\", \"Acme\\000\\000\"\r\n"
                                         "   VALUE \"FileDescription\", \"Tool\\000\"\r\n"
                                         "   VALUE \"FileVersion\", \"2.3.4.5\\000\\000\"\r\n"
                                         "   VALUE \"InternalName\", \"tool\\000\"\r\n"
                                         "   VALUE \"LegalCopyright\", \"(c) Acme\\000\\000\"\r\n"
                                         "   VALUE \"OriginalFilename\", \"tool.exe\\000\"\r\n"
                                         "   VALUE \"ProductName\", \"Acme Tool\\000\\000\"\r\n"
                                         "   VALUE \"ProductVersion\", \"2.3\\000\"\r\n");

    // 株式会社 / ﾌｧｲﾙ / ソ (trail byte 0x5C) / ①
    QTest::newRow("japanese")
        << VersionScript::Values { "\x8A\x94\x8E\xAE\x89\xEF\x8E\xD0",
                                   "\xCC\xA7\xB2\xD9",
                                   "1.0",
                                   "\x83\x5C",
                                   "\x87\x40",
                                   "a.exe",
                                   "\xCC\xA7\xB2\xD9 \x83\x5C",
                                   "" }
        << QByteArray("   VALUE \"CompanyName\", \"\x8A\x94\x8E\xAE\x89\xEF\x8E\xD0\\000\\000\"\r\n"
                      "   VALUE \"FileDescription\", \"\xCC\xA7\xB2\xD9\\000\"\r\n"
                      "   VALUE \"FileVersion\", \"1.0\\000\\000\"\r\n"
                      "   VALUE \"InternalName\", \"\x83\x5C\\000\"\r\n"
                      "   VALUE \"LegalCopyright\", \"\x87\x40\\000\\000\"\r\n"
                      "   VALUE \"OriginalFilename\", \"a.exe\\000\"\r\n"
                      "   VALUE \"ProductName\", \"\xCC\xA7\xB2\xD9 \x83\x5C\\000\\000\"\r\n"
                      "   VALUE \"ProductVersion\", \"\\000\"\r\n");

    // Quotes and backslashes doubled, so the compiled string is what was typed;
    // the trail byte 0x5C of ソ and 表 belongs to its character and stays single.
    QTest::newRow("quotes and backslashes escaped")
        << VersionScript::Values { "a\"b",       "C:\\dir\\",  "\\000", "\"",
                                   "\x83\x5C\\", "\x95\x5C\"", "",      "x\\" }
        << QByteArray("   VALUE \"CompanyName\", \"a\"\"b\\000\\000\"\r\n"
                      "   VALUE \"FileDescription\", \"C:\\\\dir\\\\\\000\"\r\n"
                      "   VALUE \"FileVersion\", \"\\\\000\\000\\000\"\r\n"
                      "   VALUE \"InternalName\", \"\"\"\\000\"\r\n"
                      "   VALUE \"LegalCopyright\", \"\x83\x5C\\\\\\000\\000\"\r\n"
                      "   VALUE \"OriginalFilename\", \"\x95\x5C\"\"\\000\"\r\n"
                      "   VALUE \"ProductName\", \"\\000\\000\"\r\n"
                      "   VALUE \"ProductVersion\", \"x\\\\\\000\"\r\n");

    // Control characters, a pasted line end among them, as octal escapes: a
    // raw line end would split the literal and no compiler would take it.
    QTest::newRow("control characters")
        << VersionScript::Values { "a\r\nb", "\t",       "\x1A", "x\n1",
                                   "\x7F",   "\x01\x1F", "",     "\x83\x5C\r" }
        << QByteArray("   VALUE \"CompanyName\", \"a\\015\\012b\\000\\000\"\r\n"
                      "   VALUE \"FileDescription\", \"\\011\\000\"\r\n"
                      "   VALUE \"FileVersion\", \"\\032\\000\\000\"\r\n"
                      "   VALUE \"InternalName\", \"x\\0121\\000\"\r\n"
                      "   VALUE \"LegalCopyright\", \"\\177\\000\\000\"\r\n"
                      "   VALUE \"OriginalFilename\", \"\\001\\037\\000\"\r\n"
                      "   VALUE \"ProductName\", \"\\000\\000\"\r\n"
                      "   VALUE \"ProductVersion\", \"\x83\x5C\\015\\000\"\r\n");
}

void TestVersionScript::wholeFile()
{
    QFETCH(VersionScript::Values, values);
    QFETCH(QByteArray, valueLines);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());

    QCOMPARE(makeInto(dir.path(), values), head + valueLines + tail);
    QCOMPARE(filesIn(dir.path()), QStringList { u"Kestrum.rc"_qs });
}

void TestVersionScript::shape()
{
    const QByteArray script = VersionScript::assemble(VersionScript::buildTemplate(), asciiValues);
    QCOMPARE(script.count("\r\n"), 25);
    QVERIFY(script.endsWith("}\r\n"));
    QCOMPARE(script.count('\n'), 25); // no bare LF anywhere
    QCOMPARE(script.count('\r'), 25);
    QVERIFY(!script.startsWith("\xEF\xBB\xBF"));
}

// One value as long as a version resource allows (65,532 bytes: lengths are
// 16-bit and blocks 32-bit aligned), and one character more. A character
// takes one UTF-16 unit in the resource whatever its width in code page 932.
void TestVersionScript::sizeLimit_data()
{
    QTest::addColumn<int>("field");
    QTest::addColumn<QByteArray>("character");
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("alsoIn"); // a later field with the same value, or -1
    QTest::addColumn<qsizetype>("bytes");

    // clang-format off
    QTest::newRow("largest that fits") << 0 << QByteArray("x") << 32501 << -1 << qsizetype(65532);
    QTest::newRow("one more") << 0 << QByteArray("x") << 32502 << -1 << qsizetype(65536);
    QTest::newRow("kanji, largest") << 1 << QByteArray("\x8A\x94") << 32501 << -1 << qsizetype(65532);
    QTest::newRow("kanji, one more") << 1 << QByteArray("\x8A\x94") << 32502 << -1 << qsizetype(65536);
    QTest::newRow("last value, one more") << 7 << QByteArray("x") << 32502 << -1 << qsizetype(65536);
    // Two longest values alike: the message names the first of them.
    QTest::newRow("two longest, largest") << 2 << QByteArray("x") << 16251 << 5 << qsizetype(65532);
    QTest::newRow("two longest, one more each") << 2 << QByteArray("x") << 16252 << 5 << qsizetype(65540);
    // clang-format on
}

void TestVersionScript::sizeLimit()
{
    QFETCH(int, field);
    QFETCH(QByteArray, character);
    QFETCH(int, count);
    QFETCH(int, alsoIn);
    QFETCH(qsizetype, bytes);
    VersionScript::Values values;
    values[field] = character.repeated(count);
    if (alsoIn >= 0)
        values[alsoIn] = values[field];
    QCOMPARE(VersionScript::resourceBytes(values), bytes);

    // Whoever calls make, a script too large for a version resource is
    // refused and nothing is written.
    VersionScript::FieldNames names;
    for (int i = 0; i < VersionScript::valueCount; ++i)
        names[i] = u"欄%1"_qs.arg(i);
    QTemporaryDir dir;
    const QString script = dir.filePath(u"Kestrum.rc"_qs);
    try {
        VersionScript::make(VersionScript::buildTemplate(), values, dir.path() + u'/', names);
        QVERIFY(bytes <= VersionScript::maxResourceBytes);
        QVERIFY(QFileInfo::exists(script));
    } catch (const KestrumError &error) {
        QVERIFY(bytes > VersionScript::maxResourceBytes);
        QCOMPARE(error.message(),
                 u"欄%1 が長すぎます。ﾊﾞｰｼﾞｮﾝ情報は全体で65535ﾊﾞｲﾄまでですが、%2ﾊﾞｲﾄになります。"_qs
                     .arg(field)
                     .arg(bytes));
        QVERIFY(!QFileInfo::exists(script));
    }
}

void TestVersionScript::replacesLongerFileAndRepeatsExactly()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"Kestrum.rc"_qs);
    QVERIFY(writeBytes(path, QByteArray(10000, 'x')));

    const QByteArray first = makeInto(dir.path(), asciiValues);
    QCOMPARE(first, VersionScript::assemble(VersionScript::buildTemplate(), asciiValues));
    QVERIFY(!first.contains("xxxxxxxxxx"));
    QCOMPARE(makeInto(dir.path(), asciiValues), first);
    QCOMPARE(filesIn(dir.path()), QStringList { u"Kestrum.rc"_qs });
}

void TestVersionScript::readOnlyFileIsLeftAlone()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"Kestrum.rc"_qs);
    QVERIFY(writeBytes(path, "old\r\n"));
    QVERIFY(QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::ReadGroup));

    try {
        makeInto(dir.path(), asciiValues);
        QFAIL("no error raised");
    } catch (const KestrumError &error) {
        QCOMPARE(error.message(),
                 u"ﾌｧｲﾙ %1 を作成できません"_qs.arg(QDir::toNativeSeparators(path)));
    }
    QCOMPARE(readBytes(path), QByteArray("old\r\n"));
    QCOMPARE(filesIn(dir.path()), QStringList { u"Kestrum.rc"_qs });
}

void TestVersionScript::missingDirectory()
{
    QTemporaryDir dir;
    const QString gone = dir.filePath(u"gone"_qs);
    try {
        makeInto(gone, asciiValues);
        QFAIL("no error raised");
    } catch (const KestrumError &error) {
        QCOMPARE(
            error.message(),
            u"ﾌｧｲﾙ %1 を作成できません"_qs.arg(QDir::toNativeSeparators(gone + u"/Kestrum.rc"_qs)));
    }
    QVERIFY(!QFileInfo::exists(gone));
}

// A full disk, for real: the child process may write no more than 100 bytes
// to any file, and gets EFBIG instead of a signal when it tries.
void TestVersionScript::shortWriteKeepsOldFile()
{
#ifndef Q_OS_UNIX
    QSKIP("needs fork and file size limits");
#else
    QTemporaryDir dir;
    const QString path = dir.filePath(u"Kestrum.rc"_qs);
    const QByteArray old = "old script\r\n";
    QVERIFY(writeBytes(path, old));

    enum Outcome { StreamError = 10, OtherError, NoError };
    const pid_t child = fork();
    QVERIFY(child >= 0);
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        // The soft limit only: endChild lifts it again to write its counters.
        rlimit limit {};
        getrlimit(RLIMIT_FSIZE, &limit);
        limit.rlim_cur = 100;
        setrlimit(RLIMIT_FSIZE, &limit);
        try {
            makeInto(dir.path(), asciiValues);
            endChild(NoError);
        } catch (const KestrumError &error) {
            endChild(error.message() == u"ｽﾄﾘｰﾑへの書き込みｴﾗｰ"_qs ? StreamError : OtherError);
        }
    }
    int status = 0;
    QCOMPARE(waitpid(child, &status, 0), child);
    QVERIFY(WIFEXITED(status));
    QCOMPARE(WEXITSTATUS(status), int(StreamError));
    QCOMPARE(readBytes(path), old);
    QCOMPARE(filesIn(dir.path()), QStringList { u"Kestrum.rc"_qs });
#endif
}

QTEST_GUILESS_MAIN(TestVersionScript)
#include "tst_versionscript.moc"
