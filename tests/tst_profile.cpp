#include "ProfileFile.h"
#include "ProfileFormat.h"
#include "TestFiles.h"

#include <QTemporaryDir>
#include <QTest>

namespace {

const QByteArray missing = "<missing>";

QString fixture(const QString &name)
{
    return QStringLiteral(KESTRUM_TEST_DATA "/") + name;
}

} // namespace

class TestProfile : public QObject
{
    Q_OBJECT

private slots:
    void reads_data();
    void reads();
    void writes_data();
    void writes();
    void writtenValuesReadBack_data();
    void writtenValuesReadBack();
    void refusesLineBreaksInValues();

    void createsMissingFile();
    void readLimit_data();
    void readLimit();
    void readOnlyFileIsLeftAlone();
    void directoryThatCannotTakeFile();
    void notAFile();
    void fileSizeLimit_data();
    void fileSizeLimit();
};

void TestProfile::reads_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QByteArray>("section");
    QTest::addColumn<QByteArray>("key");
    QTest::addColumn<QByteArray>("value");

    // clang-format off
    QTest::newRow("plain company") << u"plain.ini"_qs << QByteArray("OPTION") << QByteArray("COMPANY") << QByteArray("Acme");
    QTest::newRow("plain rights") << u"plain.ini"_qs << QByteArray("OPTION") << QByteArray("RIGHTS") << QByteArray("(c) 2026 Acme");
    QTest::newRow("missing key") << u"only-rights.ini"_qs << QByteArray("OPTION") << QByteArray("COMPANY") << missing;
    QTest::newRow("missing section") << u"plain.ini"_qs << QByteArray("OTHER") << QByteArray("COMPANY") << missing;
    QTest::newRow("missing file") << u"no-such.ini"_qs << QByteArray("OPTION") << QByteArray("COMPANY") << missing;
    QTest::newRow("empty file") << u"empty.ini"_qs << QByteArray("OPTION") << QByteArray("COMPANY") << missing;
    QTest::newRow("blanks around the names asked for") << u"plain.ini"_qs << QByteArray(" OPTION  ") << QByteArray("  COMPANY ") << QByteArray("Acme");
    QTest::newRow("case and blanks") << u"case-and-blanks.ini"_qs << QByteArray("OPTION") << QByteArray("COMPANY") << QByteArray("Acme Ltd");
    QTest::newRow("empty value is not missing") << u"case-and-blanks.ini"_qs << QByteArray("option") << QByteArray("RIGHTS") << QByteArray("");
    QTest::newRow("quoted blanks kept") << u"quotes.ini"_qs << QByteArray("OPTION") << QByteArray("COMPANY") << QByteArray("  padded  ");
    QTest::newRow("single quotes") << u"quotes.ini"_qs << QByteArray("OPTION") << QByteArray("RIGHTS") << QByteArray("single");
    QTest::newRow("open quote") << u"quotes.ini"_qs << QByteArray("OPTION") << QByteArray("A") << QByteArray("\"open");
    QTest::newRow("mismatched quotes") << u"quotes.ini"_qs << QByteArray("OPTION") << QByteArray("B") << QByteArray("\"mixed'");
    QTest::newRow("lone quote") << u"quotes.ini"_qs << QByteArray("OPTION") << QByteArray("C") << QByteArray("\"");
    QTest::newRow("one pair removed") << u"quotes.ini"_qs << QByteArray("OPTION") << QByteArray("D") << QByteArray("\"\"x\"\"");
    QTest::newRow("first key wins") << u"first-wins.ini"_qs << QByteArray("OPTION") << QByteArray("COMPANY") << QByteArray("first");
    QTest::newRow("first section wins") << u"first-wins.ini"_qs << QByteArray("OPTION") << QByteArray("RIGHTS") << missing;
    QTest::newRow("CR") << u"line-ends.ini"_qs << QByteArray("OPTION") << QByteArray("COMPANY") << QByteArray("cr");
    QTest::newRow("LF") << u"line-ends.ini"_qs << QByteArray("OPTION") << QByteArray("RIGHTS") << QByteArray("lf");
    QTest::newRow("LF CR") << u"line-ends.ini"_qs << QByteArray("OPTION") << QByteArray("B") << QByteArray("lfcr");
    QTest::newRow("no final line end") << u"line-ends.ini"_qs << QByteArray("OPTION") << QByteArray("C") << QByteArray("last");
    QTest::newRow("key above sections") << u"no-section.ini"_qs << QByteArray("OPTION") << QByteArray("COMPANY") << missing;
    QTest::newRow("first equals splits") << u"no-section.ini"_qs << QByteArray("OPTION") << QByteArray("RIGHTS") << QByteArray("x = y");
    QTest::newRow("line without equals") << u"no-equals.ini"_qs << QByteArray("OPTION") << QByteArray("COMPANY") << missing;
    QTest::newRow("blank value") << u"no-equals.ini"_qs << QByteArray("OPTION") << QByteArray("RIGHTS") << QByteArray("");
    QTest::newRow("semicolon is a character") << u"no-equals.ini"_qs << QByteArray("OPTION") << QByteArray(";COMMENT") << QByteArray("1");
    QTest::newRow("semicolon key differs") << u"no-equals.ini"_qs << QByteArray("OPTION") << QByteArray("COMMENT") << missing;
    QTest::newRow("semicolon in value") << u"no-equals.ini"_qs << QByteArray("OPTION") << QByteArray("A") << QByteArray("a;b");
    QTest::newRow("trail byte ] in section") << u"double-byte.ini"_qs << QByteArray("\x83\x5D") << QByteArray("\x83\x61") << QByteArray("lower");
    QTest::newRow("trail byte case kept") << u"double-byte.ini"_qs << QByteArray("\x83\x5D") << QByteArray("\x83\x41") << QByteArray("upper");
    QTest::newRow("double-byte section") << u"double-byte.ini"_qs << QByteArray("\x8A\x94") << QByteArray("company") << QByteArray("\x8A\x94\x8E\xAE\x89\xEF\x8E\xD0");
    QTest::newRow("binary file, value ends at NUL") << u"binary.ini"_qs << QByteArray("OPTION") << QByteArray("COMPANY") << QByteArray("a");
    // clang-format on
}

void TestProfile::reads()
{
    QFETCH(QString, file);
    QFETCH(QByteArray, section);
    QFETCH(QByteArray, key);
    QFETCH(QByteArray, value);
    QCOMPARE(ProfileFile::read(fixture(file), section, key, missing), value);
}

void TestProfile::writes_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QByteArray>("key");
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<QByteArray>("after");

    QTest::newRow("new file") << QByteArray() << QByteArray("COMPANY") << QByteArray("Acme")
                              << QByteArray("[OPTION]\r\nCOMPANY=Acme\r\n");
    QTest::newRow("blanks around the key asked for")
        << QByteArray("[OPTION]\r\nCOMPANY=old\r\n") << QByteArray(" COMPANY  ")
        << QByteArray("new") << QByteArray("[OPTION]\r\nCOMPANY=new\r\n");
    QTest::newRow("blanks around a new key")
        << QByteArray("[OPTION]\r\n") << QByteArray(" RIGHTS ") << QByteArray("r")
        << QByteArray("[OPTION]\r\nRIGHTS=r\r\n");
    QTest::newRow("empty value keeps the key")
        << QByteArray("[OPTION]\r\nCOMPANY=old\r\n") << QByteArray("COMPANY") << QByteArray()
        << QByteArray("[OPTION]\r\nCOMPANY=\r\n");
    QTest::newRow("file's spelling of the key kept")
        << QByteArray("[Option]\r\n  company = old \r\nRIGHTS=r\r\n") << QByteArray("COMPANY")
        << QByteArray("new") << QByteArray("[Option]\r\ncompany=new\r\nRIGHTS=r\r\n");
    QTest::newRow("first occurrence replaced")
        << QByteArray("[OPTION]\nCOMPANY=1\nCOMPANY=2\n") << QByteArray("COMPANY")
        << QByteArray("3") << QByteArray("[OPTION]\nCOMPANY=3\nCOMPANY=2\n");
    QTest::newRow("new key after the section's last non-blank line")
        << QByteArray("; top\r\n[OPTION]\r\nRIGHTS=r\r\n; note\r\n\r\n\r\n[OTHER]\r\nX=1\r\n")
        << QByteArray("COMPANY") << QByteArray("c")
        << QByteArray("; top\r\n[OPTION]\r\nRIGHTS=r\r\n; "
                      "note\r\nCOMPANY=c\r\n\r\n\r\n[OTHER]\r\nX=1\r\n");
    QTest::newRow("new key in a section at the end without line end")
        << QByteArray("[OPTION]") << QByteArray("RIGHTS") << QByteArray("r")
        << QByteArray("[OPTION]\r\nRIGHTS=r\r\n");
    QTest::newRow("missing section appended")
        << QByteArray("[OTHER]\nX=1") << QByteArray("COMPANY") << QByteArray("c")
        << QByteArray("[OTHER]\nX=1\r\n[OPTION]\r\nCOMPANY=c\r\n");
    QTest::newRow("missing section appended after a line end")
        << QByteArray("[OTHER]\nX=1\n\n") << QByteArray("COMPANY") << QByteArray("c")
        << QByteArray("[OTHER]\nX=1\n\n[OPTION]\r\nCOMPANY=c\r\n");
    QTest::newRow("other line ends kept")
        << QByteArray("[A]\rK=v\r[OPTION]\nRIGHTS=old\nZ=z") << QByteArray("RIGHTS")
        << QByteArray("new") << QByteArray("[A]\rK=v\r[OPTION]\nRIGHTS=new\nZ=z");
    QTest::newRow("key above the first section is not the section's")
        << QByteArray("COMPANY=x\r\n[OPTION]\r\n") << QByteArray("COMPANY") << QByteArray("y")
        << QByteArray("COMPANY=x\r\n[OPTION]\r\nCOMPANY=y\r\n");
    QTest::newRow("blanks at the ends are quoted")
        << QByteArray() << QByteArray("COMPANY") << QByteArray(" padded\t")
        << QByteArray("[OPTION]\r\nCOMPANY=\" padded\t\"\r\n");
    QTest::newRow("a quoted value is quoted again")
        << QByteArray() << QByteArray("COMPANY") << QByteArray("'x'")
        << QByteArray("[OPTION]\r\nCOMPANY=\"'x'\"\r\n");
    QTest::newRow("inner quotes as they are")
        << QByteArray() << QByteArray("COMPANY") << QByteArray("a \"b\" c")
        << QByteArray("[OPTION]\r\nCOMPANY=a \"b\" c\r\n");
    QTest::newRow("double-byte value")
        << QByteArray("[OPTION]\r\n") << QByteArray("RIGHTS")
        << QByteArray("\x92\x98\x8D\xEC\x8C\xA0")
        << QByteArray("[OPTION]\r\nRIGHTS=\x92\x98\x8D\xEC\x8C\xA0\r\n");
}

void TestProfile::writes()
{
    QFETCH(QByteArray, before);
    QFETCH(QByteArray, key);
    QFETCH(QByteArray, value);
    QFETCH(QByteArray, after);
    QCOMPARE(ProfileFormat::withValue(before, "OPTION", key, value), after);

    QTemporaryDir dir;
    const QString path = dir.filePath(u"Kestrum.ini"_qs);
    if (!before.isEmpty())
        QVERIFY(writeBytes(path, before));
    QVERIFY(ProfileFile::write(path, "OPTION", key, value));
    QCOMPARE(readBytes(path), after);
    QCOMPARE(filesIn(dir.path()), QStringList { u"Kestrum.ini"_qs });
}

void TestProfile::writtenValuesReadBack_data()
{
    QTest::addColumn<QByteArray>("value");
    for (const char *value : { "", "plain", " lead", "trail ", "  both  ", "\"q\"", "'q'", "\"",
                               "\"\"", "'", "a=b", "[x]", ";c", "\x1A", "\t", "\x83\x5D\x83\x41" })
        QTest::newRow(value) << QByteArray(value);
}

void TestProfile::writtenValuesReadBack()
{
    QFETCH(QByteArray, value);
    QTemporaryDir dir;
    const QString path = dir.filePath(u"Kestrum.ini"_qs);
    QVERIFY(ProfileFile::write(path, "OPTION", "COMPANY", value));
    QVERIFY(ProfileFile::write(path, "OPTION", "RIGHTS", "after"));
    QCOMPARE(ProfileFile::read(path, "OPTION", "COMPANY", missing), value);
    QCOMPARE(ProfileFile::read(path, "OPTION", "RIGHTS", missing), QByteArray("after"));
}

void TestProfile::refusesLineBreaksInValues()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"Kestrum.ini"_qs);
    QVERIFY(writeBytes(path, "[OPTION]\r\nCOMPANY=a\r\n"));
    for (const QByteArray &forged :
         { QByteArray("x\r\n[OPTION]\r\nRIGHTS=forged"), QByteArray("x\nRIGHTS=y"),
           QByteArray("x\ry"), QByteArray("x\0y", 3) }) {
        QVERIFY(!ProfileFile::write(path, "OPTION", "COMPANY", forged));
        QCOMPARE(readBytes(path), QByteArray("[OPTION]\r\nCOMPANY=a\r\n"));
    }
}

void TestProfile::createsMissingFile()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"Kestrum.ini"_qs);
    QVERIFY(ProfileFile::write(path, "OPTION", "COMPANY", ""));
    QVERIFY(ProfileFile::write(path, "OPTION", "RIGHTS", "(c)"));
    QCOMPARE(readBytes(path), QByteArray("[OPTION]\r\nCOMPANY=\r\nRIGHTS=(c)\r\n"));
    QCOMPARE(ProfileFile::read(path, "OPTION", "COMPANY", missing), QByteArray());
}

void TestProfile::readLimit_data()
{
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<QByteArray>("read");

    const QByteArray kanji = "\x8A\xBF"; // 漢
    QTest::newRow("1500 bytes") << QByteArray(1500, 'a') << QByteArray(1023, 'a');
    QTest::newRow("1023 bytes") << QByteArray(1023, 'a') << QByteArray(1023, 'a');
    QTest::newRow("double-byte ends at 1023")
        << QByteArray(1021, 'a') + kanji + "b" << QByteArray(1021, 'a') + kanji;
    QTest::newRow("double-byte straddles 1023")
        << QByteArray(1022, 'a') + kanji << QByteArray(1022, 'a');
    QTest::newRow("all double-byte") << kanji.repeated(750) << kanji.repeated(511);
    const QByteArray sun = "\x93\xFA"; // 日: its second byte could open a character
    QTest::newRow("trail bytes that could lead") << sun.repeated(750) << sun.repeated(511);
    QTest::newRow("half-width katakana are single")
        << QByteArray(1500, '\xB1') << QByteArray(1023, '\xB1');
    QTest::newRow("trailing blanks") << QByteArray("ab  ") << QByteArray("ab");
}

void TestProfile::readLimit()
{
    QFETCH(QByteArray, stored);
    QFETCH(QByteArray, read);
    QTemporaryDir dir;
    const QString path = dir.filePath(u"Kestrum.ini"_qs);
    QVERIFY(writeBytes(path, "[OPTION]\r\nCOMPANY=" + stored + "\r\n"));
    QCOMPARE(ProfileFile::read(path, "OPTION", "COMPANY", missing), read);
    // A default comes back the way a value does.
    QCOMPARE(ProfileFile::read(path, "OPTION", "RIGHTS", stored), read);
}

void TestProfile::readOnlyFileIsLeftAlone()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"Kestrum.ini"_qs);
    QVERIFY(writeBytes(path, "[OPTION]\r\nCOMPANY=a\r\n"));
    QVERIFY(QFile::setPermissions(path, QFileDevice::ReadOwner));
    QVERIFY(!ProfileFile::write(path, "OPTION", "COMPANY", "b"));
    QCOMPARE(readBytes(path), QByteArray("[OPTION]\r\nCOMPANY=a\r\n"));
    QCOMPARE(ProfileFile::read(path, "OPTION", "COMPANY", missing), QByteArray("a"));
    QCOMPARE(filesIn(dir.path()), QStringList { u"Kestrum.ini"_qs });
}

void TestProfile::directoryThatCannotTakeFile()
{
    QTemporaryDir dir;
    QVERIFY(!ProfileFile::write(dir.filePath(u"gone/Kestrum.ini"_qs), "OPTION", "COMPANY", "a"));
    QVERIFY(writeBytes(dir.filePath(u"file"_qs), "x"));
    QVERIFY(!ProfileFile::write(dir.filePath(u"file/Kestrum.ini"_qs), "OPTION", "COMPANY", "a"));
    QCOMPARE(filesIn(dir.path()), QStringList { u"file"_qs });

    if (ignoresPermissions())
        return; // root writes into any directory
    QVERIFY(QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner));
    QVERIFY(!ProfileFile::write(dir.filePath(u"Kestrum.ini"_qs), "OPTION", "COMPANY", "a"));
    QVERIFY(QFile::setPermissions(
        dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner));
    QCOMPARE(filesIn(dir.path()), QStringList { u"file"_qs });
}

void TestProfile::notAFile()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"Kestrum.ini"_qs);
    QVERIFY(QDir().mkpath(path));
    QCOMPARE(ProfileFile::read(path, "OPTION", "COMPANY", missing), missing);
    QVERIFY(!ProfileFile::write(path, "OPTION", "COMPANY", "a"));
    QVERIFY(QFileInfo(path).isDir());
}

void TestProfile::fileSizeLimit_data()
{
    QTest::addColumn<qint64>("size");
    QTest::addColumn<bool>("isProfile");

    QTest::newRow("at the limit") << ProfileFile::maxFileBytes << true;
    QTest::newRow("one byte over") << ProfileFile::maxFileBytes + 1 << false;
}

// A file over the limit is left alone: reads find nothing, writes refuse.
void TestProfile::fileSizeLimit()
{
    QFETCH(qint64, size);
    QFETCH(bool, isProfile);
    QTemporaryDir dir;
    const QString path = dir.filePath(u"Kestrum.ini"_qs);
    QByteArray content = "[OPTION]\r\nCOMPANY=a\r\n";
    content += QByteArray(size - content.size(), ';');
    QVERIFY(writeBytes(path, content));
    QCOMPARE(ProfileFile::read(path, "OPTION", "COMPANY", missing),
             isProfile ? QByteArray("a") : missing);
    QCOMPARE(ProfileFile::write(path, "OPTION", "COMPANY", "b"), isProfile);
    QVERIFY((readBytes(path) == content) != isProfile);
}

QTEST_GUILESS_MAIN(TestProfile)
#include "tst_profile.moc"
