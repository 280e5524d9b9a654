#include "AppDirectory.h"
#include "ClsCL0010GF.h"
#include "DefaultsProfile.h"
#include "KestrumError.h"
#include "TestFiles.h"

#include <QTemporaryDir>
#include <QTest>

class TestDefaults : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void applicationDirectoryEndsInSeparator();
    void missingFileGivesEmptyDefaults();
    void eachValueOnItsOwn();
    void storesAndReadsBackJapanese();
    void failedWriteLeavesFileAlone();
    void unmappableCharacterWritesNothing();
    void undecodableValueReadsEmpty();

private:
    QString iniPath() const { return m_dir->filePath(u"Kestrum.ini"_qs); }

    std::unique_ptr<TemporaryAppDirectory> m_dir;
};

void TestDefaults::init()
{
    m_dir = std::make_unique<TemporaryAppDirectory>();
    QVERIFY(m_dir->isValid());
}

void TestDefaults::cleanup()
{
    m_dir.reset();
}

void TestDefaults::applicationDirectoryEndsInSeparator()
{
    // In the platform's own spelling: C:\dir\ on Windows.
    QCOMPARE(ClsCL0010GF.GetApplicationDirectory(), QDir::toNativeSeparators(m_dir->path() + u'/'));
    ClsCL0010GF.setApplicationDirectoryForTesting({});
    const QString real = ClsCL0010GF.GetApplicationDirectory();
    QCOMPARE(real, QDir::toNativeSeparators(QCoreApplication::applicationDirPath() + u'/'));
}

void TestDefaults::missingFileGivesEmptyDefaults()
{
    const auto defaults = DefaultsProfile::ReadDefaults();
    QCOMPARE(defaults.company, QString());
    QCOMPARE(defaults.rights, QString());
    QVERIFY(!QFileInfo::exists(iniPath()));
}

void TestDefaults::eachValueOnItsOwn()
{
    QVERIFY(writeBytes(iniPath(), "[OPTION]\r\nRIGHTS=x\r\n"));
    const auto defaults = DefaultsProfile::ReadDefaults();
    QCOMPARE(defaults.company, QString());
    QCOMPARE(defaults.rights, u"x"_qs);
}

void TestDefaults::storesAndReadsBackJapanese()
{
    QVERIFY(DefaultsProfile::WriteDefaults({ u"株式会社ｹｽﾄﾗﾑ"_qs, u"著作権 ①"_qs }, u"会社名"_qs,
                                           u"著作権"_qs));
    QCOMPARE(readBytes(iniPath()),
             QByteArray("[OPTION]\r\n"
                        "COMPANY=\x8A\x94\x8E\xAE\x89\xEF\x8E\xD0\xB9\xBD\xC4\xD7\xD1\r\n"
                        "RIGHTS=\x92\x98\x8D\xEC\x8C\xA0 \x87\x40\r\n"));
    const auto defaults = DefaultsProfile::ReadDefaults();
    QCOMPARE(defaults.company, u"株式会社ｹｽﾄﾗﾑ"_qs);
    QCOMPARE(defaults.rights, u"著作権 ①"_qs);

    QVERIFY(DefaultsProfile::WriteDefaults({}, u"会社名"_qs, u"著作権"_qs));
    QCOMPARE(readBytes(iniPath()), QByteArray("[OPTION]\r\nCOMPANY=\r\nRIGHTS=\r\n"));
}

void TestDefaults::failedWriteLeavesFileAlone()
{
    const QByteArray before = "[OPTION]\r\nCOMPANY=a\r\nRIGHTS=b\r\n";
    QVERIFY(writeBytes(iniPath(), before));
    QVERIFY(QFile::setPermissions(iniPath(), QFileDevice::ReadOwner));
    QVERIFY(!DefaultsProfile::WriteDefaults({ u"x"_qs, u"y"_qs }, u"会社名"_qs, u"著作権"_qs));
    QCOMPARE(readBytes(iniPath()), before);
}

void TestDefaults::unmappableCharacterWritesNothing()
{
    const QByteArray before = "[OPTION]\r\nCOMPANY=a\r\n";
    QVERIFY(writeBytes(iniPath(), before));
    try {
        DefaultsProfile::WriteDefaults({ u"new"_qs, u"© 2026"_qs }, u"会社名"_qs, u"著作権"_qs);
        QFAIL("no error raised");
    } catch (const KestrumError &error) {
        QVERIFY2(error.message().startsWith(u"著作権 "_qs), qPrintable(error.message()));
        QVERIFY(error.message().contains(u"「©」(U+00A9)"_qs));
    }
    QCOMPARE(readBytes(iniPath()), before);
}

void TestDefaults::undecodableValueReadsEmpty()
{
    QVERIFY(writeBytes(iniPath(), "[OPTION]\r\nCOMPANY=ok\x81\r\nRIGHTS=fine\r\n"));
    const auto defaults = DefaultsProfile::ReadDefaults();
    QCOMPARE(defaults.company, QString());
    QCOMPARE(defaults.rights, u"fine"_qs);
}

QTEST_GUILESS_MAIN(TestDefaults)
#include "tst_defaults.moc"
