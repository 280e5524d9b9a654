// Whatever sits in the program's directory under the names Kestrum.rc and
// Kestrum.ini, the program neither crashes nor damages it, and says so.
#include "AppDirectory.h"
#include "ClsCL0010GF.h"
#include "DefaultsProfile.h"
#include "KestrumError.h"
#include "ProfileFile.h"
#include "TestFiles.h"
#include "VersionScript.h"

#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#ifdef Q_OS_UNIX
#include "ChildExit.h"

#include <sys/wait.h>
#include <unistd.h>
#endif

namespace {

#ifdef Q_OS_UNIX
constexpr bool isPosix = true;
#else
constexpr bool isPosix = false;
#endif

const QString company = u"会社名"_qs;
const QString rights = u"著作権"_qs;

bool storeDefaults(const QString &companyValue, const QString &rightsValue)
{
    return DefaultsProfile::WriteDefaults({ companyValue, rightsValue }, company, rights);
}

// The message Make shows, or "作成されました。" when it succeeds.
QString makeMessage(const QString &directory)
{
    try {
        VersionScript::make(VersionScript::buildTemplate(), { "a", "b" }, directory + u'/');
        return u"作成されました。"_qs;
    } catch (const KestrumError &error) {
        return error.message();
    }
}

QString cannotCreate(const QString &path)
{
    return u"ﾌｧｲﾙ %1 を作成できません"_qs.arg(QDir::toNativeSeparators(path));
}

#ifdef Q_OS_UNIX
// Runs `operation` in a child process that file permissions apply to (root
// drops to nobody there) and returns its exit code.
int asOrdinaryUser(const std::function<int()> &operation)
{
    const pid_t child = fork();
    if (child == 0) {
        if (ignoresPermissions() && (setgid(65534) != 0 || setuid(65534) != 0))
            endChild(99);
        endChild(operation());
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 98;
}
#endif

} // namespace

class TestHostile : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void hugeProfile();
    void randomBytes();
    void nulBytes();
    void utf8Profile();
    void utf8LimitCountsCp932Bytes();
    void utf16Profile();
    void brokenUtf16Profile();
    void profileIsDirectory();
    void profileIsSymlink();
    void profileIsDanglingSymlink();
    void scriptIsDirectory();
    void scriptIsSymlink();
    void scriptIsDanglingSymlink();
    void directoryWithoutWritePermission_data();
    void directoryWithoutWritePermission();

private:
    QString path(const QString &name) const { return m_dir->filePath(name); }
    QString ini() const { return path(u"Kestrum.ini"_qs); }

    std::unique_ptr<TemporaryAppDirectory> m_dir;
};

void TestHostile::init()
{
    m_dir = std::make_unique<TemporaryAppDirectory>();
    QVERIFY(m_dir->isValid());
}

void TestHostile::cleanup()
{
    m_dir.reset();
}

void TestHostile::hugeProfile()
{
    QByteArray content = "[OPTION]\r\nCOMPANY=a\r\n";
    content += QByteArray(100 * 1024 * 1024, 'x');
    QVERIFY(writeBytes(ini(), content));
    QCOMPARE(DefaultsProfile::ReadDefaults().company, QString());
    QVERIFY(!storeDefaults(u"b"_qs, u"c"_qs));
    QVERIFY(readBytes(ini()) == content);
}

void TestHostile::randomBytes()
{
    QRandomGenerator random(20261208);
    for (int round = 0; round < 20; ++round) {
        QByteArray content(4096 + round * 997, Qt::Uninitialized);
        for (char &c : content)
            c = char(random.bounded(256));
        QVERIFY(writeBytes(ini(), content));
        DefaultsProfile::ReadDefaults();
        if (storeDefaults(u"株式会社"_qs, u"(c)"_qs)) {
            const auto stored = DefaultsProfile::ReadDefaults();
            QCOMPARE(stored.company, u"株式会社"_qs);
            QCOMPARE(stored.rights, u"(c)"_qs);
        } else {
            QVERIFY(readBytes(ini()) == content);
        }
    }
}

void TestHostile::nulBytes()
{
    const QByteArray content("\0\0[OPTION]\0\r\n[OPTION]\r\nCOMPANY=x\0y\r\n\0", 37);
    QVERIFY(writeBytes(ini(), content));
    QCOMPARE(DefaultsProfile::ReadDefaults().company, u"x"_qs);
    QVERIFY(storeDefaults(u"z"_qs, u""_qs));
    QCOMPARE(readBytes(ini()),
             QByteArray("\0\0[OPTION]\0\r\n[OPTION]\r\nCOMPANY=z\r\n\0\r\nRIGHTS=\r\n", 46));
}

void TestHostile::utf8Profile()
{
    // The mark would otherwise make the first line "\xEF\xBB\xBF[OPTION]".
    QVERIFY(writeBytes(ini(),
                       "\xEF\xBB\xBF[OPTION]\r\nCOMPANY=株式会社 ✓\r\nRIGHTS=著作 ①\r\n"
                       "[OTHER]\r\nNOTE=Grüße 😀\r\n"));
    const auto defaults = DefaultsProfile::ReadDefaults();
    QCOMPARE(defaults.company, QString()); // ✓ has no code page 932 form
    QCOMPARE(defaults.rights, u"著作 ①"_qs);

    QVERIFY(storeDefaults(u"ｹｽﾄﾗﾑ"_qs, u"髙"_qs));
    QCOMPARE(readBytes(ini()),
             QByteArray("\xEF\xBB\xBF[OPTION]\r\nCOMPANY=ｹｽﾄﾗﾑ\r\nRIGHTS=髙\r\n"
                        "[OTHER]\r\nNOTE=Grüße 😀\r\n"));
    QCOMPARE(DefaultsProfile::ReadDefaults().company, u"ｹｽﾄﾗﾑ"_qs);

    // Names given in code page 932 (会社, 名) are the file's UTF-8 names.
    QVERIFY(ProfileFile::write(ini(), "\x89\xEF\x8E\xD0", " \x96\xBC ", "x"));
    QVERIFY(readBytes(ini()).endsWith("[OTHER]\r\nNOTE=Grüße 😀\r\n[会社]\r\n名=x\r\n"));
    QCOMPARE(ProfileFile::read(ini(), "\x89\xEF\x8E\xD0", "\x96\xBC", {}), QByteArray("x"));

    // A name or a value that is no code page 932 text (a lead byte without
    // its trail) has no UTF-8 form: the write is refused and nothing changes.
    const QByteArray before = readBytes(ini());
    QVERIFY(!ProfileFile::write(ini(), "OPTION", "COMPANY\x83", "y"));
    QVERIFY(!ProfileFile::write(ini(), "OPTION\x83", "COMPANY", "y"));
    QVERIFY(!ProfileFile::write(ini(), "OPTION", "COMPANY", "y\x83"));
    QCOMPARE(readBytes(ini()), before);
}

void TestHostile::utf8LimitCountsCp932Bytes()
{
    // 600 kanji: 1800 bytes of UTF-8, 1200 of code page 932, of which 511
    // whole characters fit in 1023 bytes.
    const QString kanji = QString(600, QChar(0x6F22));
    QVERIFY(writeBytes(ini(), "\xEF\xBB\xBF[OPTION]\nCOMPANY=" + kanji.toUtf8() + "\n"));
    QCOMPARE(DefaultsProfile::ReadDefaults().company, QString(511, QChar(0x6F22)));
}

void TestHostile::utf16Profile()
{
    const QString text = u"[OPTION]\r\nCOMPANY=株式会社\r\n; 😀 kept\r\n[OTHER]\r\nX=é\r\n"_qs;
    const auto utf16 = [](const QString &s) {
        return QByteArray("\xFF\xFE")
            + QByteArray(reinterpret_cast<const char *>(s.utf16()), s.size() * 2);
    };
    QVERIFY(writeBytes(ini(), utf16(text)));
    QCOMPARE(DefaultsProfile::ReadDefaults().company, u"株式会社"_qs);
    QVERIFY(storeDefaults(u"新社"_qs, u"ⓒ ①"_qs.replace(u"ⓒ"_qs, u"(c)"_qs)));
    QCOMPARE(
        readBytes(ini()),
        utf16(u"[OPTION]\r\nCOMPANY=新社\r\n; 😀 kept\r\nRIGHTS=(c) ①\r\n[OTHER]\r\nX=é\r\n"_qs));
}

void TestHostile::brokenUtf16Profile()
{
    for (const QByteArray &content :
         { QByteArray("\xFF\xFE[\0\x00\xD8O\0", 8), // lone surrogate
           QByteArray("\xFF\xFE[\0O\0\x00\xD8", 8), QByteArray("\xFF\xFE[\0O", 5) }) { // odd length
        QVERIFY(writeBytes(ini(), content));
        QCOMPARE(DefaultsProfile::ReadDefaults().company, QString());
        QVERIFY(!storeDefaults(u"a"_qs, u"b"_qs));
        QCOMPARE(readBytes(ini()), content);
    }
}

void TestHostile::profileIsDirectory()
{
    QVERIFY(QDir().mkdir(ini()));
    QCOMPARE(DefaultsProfile::ReadDefaults().company, QString());
    QVERIFY(!storeDefaults(u"a"_qs, u"b"_qs));
    QVERIFY(QFileInfo(ini()).isDir());
}

void TestHostile::profileIsSymlink()
{
    if (!isPosix)
        QSKIP("needs symbolic links");
    QVERIFY(QDir().mkdir(path(u"shared"_qs)));
    const QString target = path(u"shared/defaults.ini"_qs);
    QVERIFY(writeBytes(target, "[OPTION]\r\nCOMPANY=linked\r\n"));
    QVERIFY(QFile::link(u"shared/defaults.ini"_qs, ini()));
    QCOMPARE(DefaultsProfile::ReadDefaults().company, u"linked"_qs);
    QVERIFY(storeDefaults(u"new"_qs, u"r"_qs));
    QVERIFY(QFileInfo(ini()).isSymLink());
    QCOMPARE(readBytes(target), QByteArray("[OPTION]\r\nCOMPANY=new\r\nRIGHTS=r\r\n"));
}

void TestHostile::profileIsDanglingSymlink()
{
    if (!isPosix)
        QSKIP("needs symbolic links");
    QVERIFY(QFile::link(u"nowhere.ini"_qs, ini()));
    QCOMPARE(DefaultsProfile::ReadDefaults().company, QString());
    QVERIFY(!storeDefaults(u"a"_qs, u"b"_qs));
    QVERIFY(!QFileInfo::exists(path(u"nowhere.ini"_qs)));
}

void TestHostile::scriptIsDirectory()
{
    const QString rc = path(u"Kestrum.rc"_qs);
    QVERIFY(QDir().mkdir(rc));
    QVERIFY(writeBytes(rc + u"/inside"_qs, "kept"));
    QCOMPARE(makeMessage(m_dir->path()), cannotCreate(rc));
    QCOMPARE(readBytes(rc + u"/inside"_qs), QByteArray("kept"));
    QCOMPARE(filesIn(m_dir->path()), QStringList());
}

void TestHostile::scriptIsSymlink()
{
    if (!isPosix)
        QSKIP("needs symbolic links");
    const QString rc = path(u"Kestrum.rc"_qs);
    QVERIFY(QDir().mkdir(path(u"project"_qs)));
    QVERIFY(writeBytes(path(u"project/version.rc"_qs), "old"));
    QVERIFY(QFile::link(u"project/version.rc"_qs, rc));
    QCOMPARE(makeMessage(m_dir->path()), u"作成されました。"_qs);
    QVERIFY(QFileInfo(rc).isSymLink());
    QVERIFY(readBytes(path(u"project/version.rc"_qs)).startsWith("VERSIONINFO_1 VERSIONINFO\r\n"));

    QVERIFY(QFile::setPermissions(path(u"project/version.rc"_qs), QFileDevice::ReadOwner));
    const QByteArray before = readBytes(rc);
    QCOMPARE(makeMessage(m_dir->path()), cannotCreate(rc));
    QCOMPARE(readBytes(rc), before);
}

void TestHostile::scriptIsDanglingSymlink()
{
    if (!isPosix)
        QSKIP("needs symbolic links");
    const QString rc = path(u"Kestrum.rc"_qs);
    QVERIFY(QFile::link(u"elsewhere.rc"_qs, rc));
    QCOMPARE(makeMessage(m_dir->path()), cannotCreate(rc));
    QVERIFY(!QFileInfo::exists(path(u"elsewhere.rc"_qs)));
}

// A directory the user may not write: files the user may write are written
// in place (owner, permissions and hard links kept), others are refused.
void TestHostile::directoryWithoutWritePermission_data()
{
    QTest::addColumn<bool>("filesWritable");
    QTest::newRow("files read-only to the user") << false;
    QTest::newRow("files writable by the user") << true;
}

void TestHostile::directoryWithoutWritePermission()
{
#ifndef Q_OS_UNIX
    QSKIP("needs user ids and directory permissions");
#else
    QFETCH(bool, filesWritable);
    const QString rc = path(u"Kestrum.rc"_qs);
    QVERIFY(writeBytes(ini(), "[OPTION]\r\nCOMPANY=a\r\n"));
    QVERIFY(writeBytes(rc, "old"));
    const auto fileMode = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadOther
        | (filesWritable ? QFileDevice::WriteOther : QFileDevice::Permissions());
    for (const QString &file : { ini(), rc })
        QVERIFY(QFile::setPermissions(file, fileMode));
    QTemporaryDir elsewhere;
    const QString link = elsewhere.filePath(u"link.rc"_qs);
    QCOMPARE(::link(QFile::encodeName(rc).constData(), QFile::encodeName(link).constData()), 0);
    QVERIFY(QFile::setPermissions(m_dir->path(),
                                  QFileDevice::ReadOwner | QFileDevice::ExeOwner
                                      | QFileDevice::ReadOther | QFileDevice::ExeOther));

    enum { Refused = 10, Accepted, WrongMessage };
    const int make = asOrdinaryUser([&] {
        const QString message = makeMessage(m_dir->path());
        return message == cannotCreate(rc)      ? Refused
            : message == u"作成されました。"_qs ? Accepted
                                                : WrongMessage;
    });
    const int store
        = asOrdinaryUser([] { return storeDefaults(u"b"_qs, u"c"_qs) ? Accepted : Refused; });
    const int read = asOrdinaryUser(
        [] { return DefaultsProfile::ReadDefaults().company.isEmpty() ? Refused : Accepted; });
    QVERIFY(QFile::setPermissions(
        m_dir->path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner));

    QCOMPARE(make, int(filesWritable ? Accepted : Refused));
    QCOMPARE(store, int(filesWritable ? Accepted : Refused));
    QCOMPARE(read, int(Accepted));
    QCOMPARE(readBytes(ini()),
             filesWritable ? QByteArray("[OPTION]\r\nCOMPANY=b\r\nRIGHTS=c\r\n")
                           : QByteArray("[OPTION]\r\nCOMPANY=a\r\n"));
    const QByteArray script = filesWritable
        ? VersionScript::assemble(VersionScript::buildTemplate(), { "a", "b" })
        : QByteArray("old");
    QCOMPARE(readBytes(rc), script);
    QCOMPARE(readBytes(link), script);
    for (const QString &file : { ini(), rc }) {
        QCOMPARE(QFileInfo(file).ownerId(), ::getuid());
        const auto userBits = QFileDevice::ReadUser | QFileDevice::WriteUser
            | QFileDevice::ExeUser; // the caller's view, not the file's
        QCOMPARE(QFile::permissions(file) & ~userBits, fileMode);
    }
    QCOMPARE(filesIn(m_dir->path()), QStringList({ u"Kestrum.ini"_qs, u"Kestrum.rc"_qs }));
#endif
}

QTEST_GUILESS_MAIN(TestHostile)
#include "tst_hostile.moc"
