// Kestrum.exe as Windows presents it, read from the built executable through
// Windows' own functions: the version resource through the version API (and
// against what the about box says), the program icon through the icon
// functions, the manifest as the loader finds it.
#include "FR0030AB.h"

#include <QLabel>
#include <QTest>
#include <QXmlStreamReader>

#include <windows.h>

namespace {

const std::wstring program = QString::fromUtf8(KESTRUM_EXE).toStdWString();

// The bytes of resource `id` of `type` in `module`, or nothing.
QByteArray resource(HMODULE module, const wchar_t *type, int id)
{
    HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(id), type);
    HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
    if (!loaded)
        return {};
    return QByteArray(static_cast<const char *>(LockResource(loaded)),
                      SizeofResource(module, found));
}

// The width an icon group's directory gives for its icon `id` (0 means 256).
int widthInGroup(const QByteArray &group, int id)
{
    const int entrySize = 14;
    const int count = group.size() >= 6 ? *reinterpret_cast<const WORD *>(group.data() + 4) : 0;
    for (int i = 0; i < count && 6 + (i + 1) * entrySize <= group.size(); ++i) {
        const char *entry = group.data() + 6 + i * entrySize;
        if (*reinterpret_cast<const WORD *>(entry + 12) == id)
            return uchar(entry[0]) == 0 ? 256 : uchar(entry[0]);
    }
    return -1;
}

// "1.0.1.0" from a VS_FIXEDFILEINFO version pair.
QString dotted(DWORD high, DWORD low)
{
    return u"%1.%2.%3.%4"_qs.arg(HIWORD(high)).arg(LOWORD(high)).arg(HIWORD(low)).arg(LOWORD(low));
}

} // namespace

class TestProgram : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void versionStrings_data();
    void versionStrings();
    void versionNumbers();
    void aboutBoxAgrees();
    void icon_data();
    void icon();
    void firstIconGroup();
    void manifest_data();
    void manifest();

private:
    QString versionString(const char *key);

    QByteArray m_versionInfo;
    HMODULE m_module = nullptr;
    QMultiMap<QString, QString> m_manifest;
};

void TestProgram::initTestCase()
{
    DWORD unused = 0;
    const DWORD size = GetFileVersionInfoSizeW(program.c_str(), &unused);
    QVERIFY2(size > 0, "GetFileVersionInfoSizeW finds no version resource");
    m_versionInfo.resize(size);
    QVERIFY(GetFileVersionInfoW(program.c_str(), 0, size, m_versionInfo.data()));

    m_module = LoadLibraryExW(program.c_str(), nullptr,
                              LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    QVERIFY(m_module);

    // The manifest's elements and attributes as "element" -> text and
    // "element@attribute" -> value; a manifest that is not well-formed XML
    // stops the program from starting at all.
    const QByteArray manifest = resource(m_module, RT_MANIFEST, 1);
    QVERIFY2(!manifest.isEmpty(), "no RT_MANIFEST 1");
    QXmlStreamReader xml(manifest);
    QString element;
    while (!xml.atEnd()) {
        const QXmlStreamReader::TokenType token = xml.readNext();
        if (token == QXmlStreamReader::StartElement) {
            element = xml.name().toString();
            for (const QXmlStreamAttribute &attribute : xml.attributes())
                m_manifest.insert(element + u'@' + attribute.name().toString(),
                                  attribute.value().toString());
        } else if (token == QXmlStreamReader::Characters && !xml.isWhitespace()) {
            m_manifest.insert(element, xml.text().toString());
        }
    }
    QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
}

void TestProgram::cleanupTestCase()
{
    if (m_module)
        FreeLibrary(m_module);
}

QString TestProgram::versionString(const char *key)
{
    const std::wstring query
        = u"\\StringFileInfo\\041103A4\\%1"_qs.arg(QLatin1String(key)).toStdWString();
    wchar_t *value = nullptr;
    UINT units = 0;
    if (!VerQueryValueW(m_versionInfo.constData(), query.c_str(), reinterpret_cast<void **>(&value),
                        &units))
        return u"(missing)"_qs;
    return QString::fromWCharArray(value, units).section(QChar(0), 0, 0);
}

void TestProgram::versionStrings_data()
{
    QTest::addColumn<QString>("value");
    QTest::newRow("CompanyName") << u"Kestrum"_qs;
    QTest::newRow("FileDescription") << u"バージョンリソース作成"_qs;
    QTest::newRow("InternalName") << u"Kestrum"_qs;
    QTest::newRow("OriginalFilename") << u"Kestrum.exe"_qs;
    QTest::newRow("ProductName") << u"Kestrum"_qs;
}

void TestProgram::versionStrings()
{
    QFETCH(QString, value);
    QCOMPARE(versionString(QTest::currentDataTag()), value);
}

void TestProgram::versionNumbers()
{
    VS_FIXEDFILEINFO *fixed = nullptr;
    UINT length = 0;
    QVERIFY(VerQueryValueW(m_versionInfo.constData(), L"\\", reinterpret_cast<void **>(&fixed),
                           &length));
    QCOMPARE(fixed->dwSignature, DWORD(VS_FFI_SIGNATURE));
    QCOMPARE(dotted(fixed->dwFileVersionMS, fixed->dwFileVersionLS), versionString("FileVersion"));
    QCOMPARE(dotted(fixed->dwProductVersionMS, fixed->dwProductVersionLS),
             versionString("ProductVersion"));
    QCOMPARE(fixed->dwFileOS, DWORD(VOS_NT_WINDOWS32));
    QCOMPARE(fixed->dwFileType, DWORD(VFT_APP));

    WORD *translation = nullptr;
    QVERIFY(VerQueryValueW(m_versionInfo.constData(), L"\\VarFileInfo\\Translation",
                           reinterpret_cast<void **>(&translation), &length));
    QCOMPARE(length, UINT(4));
    QCOMPARE(translation[0], WORD(0x0411));
    QCOMPARE(translation[1], WORD(932));
}

// One version number and one copyright line in the build: what the about box
// shows is what Explorer shows.
void TestProgram::aboutBoxAgrees()
{
    TFrmFR0030AB about;
    const auto label = [&about](const char *name) {
        const auto *found = about.findChild<QLabel *>(QLatin1String(name));
        return found ? found->text() : QString();
    };
    QCOMPARE(label("Version"), u"Version "_qs + versionString("FileVersion"));
    QCOMPARE(label("Version"), u"Version "_qs + versionString("ProductVersion"));
    QCOMPARE(label("Copyright"), versionString("LegalCopyright"));
    QCOMPARE(label("Comments"), versionString("FileDescription"));
}

void TestProgram::icon_data()
{
    QTest::addColumn<int>("pixels");
    for (int pixels : { 16, 20, 24, 32, 40, 48, 64, 256 })
        QTest::addRow("%d", pixels) << pixels;
}

// The icon Windows picks for each size is one drawn for that size, and it
// loads.
void TestProgram::icon()
{
    QFETCH(int, pixels);
    QByteArray group = resource(m_module, RT_GROUP_ICON, 1);
    QVERIFY2(!group.isEmpty(), "no icon group 1");
    const int id = LookupIconIdFromDirectoryEx(reinterpret_cast<PBYTE>(group.data()), TRUE, pixels,
                                               pixels, LR_DEFAULTCOLOR);
    QVERIFY(id != 0);
    QCOMPARE(widthInGroup(group, id), pixels);

    HICON icon = static_cast<HICON>(
        LoadImageW(m_module, MAKEINTRESOURCEW(1), IMAGE_ICON, pixels, pixels, LR_DEFAULTCOLOR));
    QVERIFY(icon);
    ICONINFO info {};
    QVERIFY(GetIconInfo(icon, &info));
    BITMAP bitmap {};
    GetObjectW(info.hbmColor ? info.hbmColor : info.hbmMask, sizeof bitmap, &bitmap);
    QCOMPARE(int(bitmap.bmWidth), pixels);
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    DestroyIcon(icon);
}

// What Explorer, the task bar and Alt+Tab take: the first icon of the file.
void TestProgram::firstIconGroup()
{
    HICON large = nullptr;
    HICON small = nullptr;
    QCOMPARE(ExtractIconExW(program.c_str(), -1, nullptr, nullptr, 0), UINT(1));
    QCOMPARE(ExtractIconExW(program.c_str(), 0, &large, &small, 1), UINT(2)); // one of each
    QVERIFY(large && small);
    DestroyIcon(large);
    DestroyIcon(small);
}

void TestProgram::manifest_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("value");
    QTest::newRow("as invoker") << u"requestedExecutionLevel@level"_qs << u"asInvoker"_qs;
    QTest::newRow("Windows 7") << u"supportedOS@Id"_qs
                               << u"{35138b9a-5d96-4fbd-8e2d-a2440225f93a}"_qs;
    QTest::newRow("Windows 8") << u"supportedOS@Id"_qs
                               << u"{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}"_qs;
    QTest::newRow("Windows 8.1") << u"supportedOS@Id"_qs
                                 << u"{1f676c76-80e1-4239-95bb-83d0f6d0da78}"_qs;
    QTest::newRow("Windows 10, 11")
        << u"supportedOS@Id"_qs << u"{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"_qs;
    QTest::newRow("per-monitor v2") << u"dpiAwareness"_qs << u"PerMonitorV2"_qs;
    QTest::newRow("per-monitor, Windows 8.1") << u"dpiAware"_qs << u"true/pm"_qs;
    QTest::newRow("long paths") << u"longPathAware"_qs << u"true"_qs;
    QTest::newRow("common controls")
        << u"assemblyIdentity@name"_qs << u"Microsoft.Windows.Common-Controls"_qs;
    QTest::newRow("common controls 6") << u"assemblyIdentity@version"_qs << u"6.0.0.0"_qs;
}

void TestProgram::manifest()
{
    QFETCH(QString, name);
    QFETCH(QString, value);
    QVERIFY2(m_manifest.values(name).contains(value),
             qPrintable(m_manifest.values(name).join(u", "_qs)));
}

QTEST_MAIN(TestProgram)
#include "tst_program.moc"
