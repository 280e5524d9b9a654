// Kestrum.exe as Windows presents it, read from the built executable through
// Windows' own functions: the version resource through the version API (and
// against what the about box says), the program icon through the icon
// functions, the manifest as the loader reads it into an activation context,
// and the headers the post-link fix-up wrote through the image help functions.
#include "FR0030AB.h"
#include "TestFiles.h"

#include <QApplication>
#include <QLabel>
#include <QStyle>
#include <QTest>
#include <QUuid>

#include <windows.h>

#include <dbghelp.h>
#include <imagehlp.h>

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
    void nativeLook();
    void icon_data();
    void icon();
    void firstIconGroup();
    void manifestSettings_data();
    void manifestSettings();
    void manifestRunLevelAndSystems();
    void commonControls6();
    void headersAsWindowsReadsThem();

private:
    QString versionString(const char *key);
    QByteArray contextInformation(ULONG infoClass, DWORD assembly = 0);
    const void *peDirectory(USHORT entry, ULONG *size = nullptr);

    QByteArray m_versionInfo;
    QByteArray m_image; // the file's bytes, read through the image help functions
    IMAGE_NT_HEADERS64 *m_headers = nullptr;
    HMODULE m_module = nullptr;
    HANDLE m_context = INVALID_HANDLE_VALUE;
};

void TestProgram::initTestCase()
{
    DWORD unused = 0;
    const DWORD size = GetFileVersionInfoSizeW(program.c_str(), &unused);
    QVERIFY2(size > 0, "GetFileVersionInfoSizeW finds no version resource");
    m_versionInfo.resize(size);
    QVERIFY(GetFileVersionInfoW(program.c_str(), 0, size, m_versionInfo.data()));

    m_image = readBytes(QString::fromStdWString(program));
    m_headers = reinterpret_cast<IMAGE_NT_HEADERS64 *>(ImageNtHeader(m_image.data()));
    QVERIFY2(m_headers && m_headers->OptionalHeader.Magic == IMAGE_NT_OPTIONAL_HDR64_MAGIC,
             "not a 64-bit executable");

    m_module = LoadLibraryExW(program.c_str(), nullptr,
                              LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    QVERIFY(m_module);

    // The manifest as the loader reads it when the program starts; one it
    // cannot read stops the program from starting at all.
    ACTCTXW context {};
    context.cbSize = sizeof context;
    context.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
    context.lpSource = program.c_str();
    context.lpResourceName = MAKEINTRESOURCEW(1);
    m_context = CreateActCtxW(&context);
    QVERIFY2(m_context != INVALID_HANDLE_VALUE, "no manifest that Windows reads");
}

void TestProgram::cleanupTestCase()
{
    if (m_module)
        FreeLibrary(m_module);
    if (m_context != INVALID_HANDLE_VALUE)
        ReleaseActCtx(m_context);
}

// What QueryActCtxW says of the manifest's context; `assembly` counts the
// context's assemblies from 1.
QByteArray TestProgram::contextInformation(ULONG infoClass, DWORD assembly)
{
    DWORD *index = assembly ? &assembly : nullptr;
    SIZE_T size = 0;
    QueryActCtxW(0, m_context, index, infoClass, nullptr, 0, &size);
    QByteArray information(qsizetype(size), 0);
    if (size == 0 || !QueryActCtxW(0, m_context, index, infoClass, information.data(), size, &size))
        return {};
    return information;
}

// Data directory `entry` of the file, or null.
const void *TestProgram::peDirectory(USHORT entry, ULONG *size)
{
    ULONG unused = 0;
    PIMAGE_SECTION_HEADER section = nullptr;
    return ImageDirectoryEntryToDataEx(m_image.data(), FALSE, entry, size ? size : &unused,
                                       &section);
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

// The windows are drawn by Windows' own themes: the static Qt keeps the style
// that uses them, which needs Qt's animations among what is left out.
void TestProgram::nativeLook()
{
    QCOMPARE(QApplication::style()->name(), u"windowsvista"_qs);
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

void TestProgram::manifestSettings_data()
{
    QTest::addColumn<QString>("space");
    QTest::addColumn<QString>("value");
    const QString smi2005 = u"http://schemas.microsoft.com/SMI/2005/WindowsSettings"_qs;
    const QString smi2016 = u"http://schemas.microsoft.com/SMI/2016/WindowsSettings"_qs;
    QTest::newRow("dpiAwareness") << smi2016 << u"PerMonitorV2"_qs;
    QTest::newRow("dpiAware") << smi2005 << u"true/pm"_qs; // Windows 8.1
    QTest::newRow("longPathAware") << smi2016 << u"true"_qs;
}

void TestProgram::manifestSettings()
{
    QFETCH(QString, space);
    QFETCH(QString, value);
    wchar_t setting[64] = {};
    SIZE_T written = 0;
    QVERIFY(QueryActCtxSettingsW(0, m_context, qUtf16Printable(space),
                                 qUtf16Printable(QString::fromLatin1(QTest::currentDataTag())),
                                 setting, std::size(setting), &written));
    QCOMPARE(QString::fromWCharArray(setting), value);
}

void TestProgram::manifestRunLevelAndSystems()
{
    const QByteArray runLevel = contextInformation(RunlevelInformationInActivationContext);
    QVERIFY(runLevel.size() >= qsizetype(sizeof(ACTIVATION_CONTEXT_RUN_LEVEL_INFORMATION)));
    const auto *level
        = reinterpret_cast<const ACTIVATION_CONTEXT_RUN_LEVEL_INFORMATION *>(runLevel.constData());
    QCOMPARE(level->RunLevel, ACTCTX_RUN_LEVEL_AS_INVOKER);
    QCOMPARE(level->UiAccess, DWORD(0));

    // The elements' layout differs between Windows versions (later ones add
    // a MaxVersionTested), so the system's GUID is looked for as it stands:
    // Windows 10 and 11, the only systems Qt 6 supports.
    const QByteArray compatibility
        = contextInformation(CompatibilityInformationInActivationContext);
    QVERIFY(compatibility.size() >= 4);
    QCOMPARE(*reinterpret_cast<const DWORD *>(compatibility.constData()), DWORD(1));
    const GUID windows10 = QUuid::fromString(u"{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}");
    QVERIFY(compatibility.contains(
        QByteArray(reinterpret_cast<const char *>(&windows10), sizeof windows10)));
}

// The assemblies of the context: the program itself first, then what its
// manifest depends on.
void TestProgram::commonControls6()
{
    QStringList identities;
    for (DWORD index = 1;; ++index) {
        const QByteArray information
            = contextInformation(AssemblyDetailedInformationInActivationContext, index);
        if (information.isEmpty())
            break;
        const auto *assembly
            = reinterpret_cast<const ACTIVATION_CONTEXT_ASSEMBLY_DETAILED_INFORMATION *>(
                information.constData());
        identities << QString::fromWCharArray(assembly->lpAssemblyEncodedAssemblyIdentity,
                                              assembly->ulEncodedAssemblyIdentityLength / 2);
    }
    const QString found = identities.join(u'\n');
    // Windows picks the newest 6.x it has for the 6.0.0.0 the manifest asks for.
    QVERIFY2(found.contains(u"Common-Controls,processorArchitecture=\"amd64\","
                            "publicKeyToken=\"6595b64144ccf1df\",type=\"win32\",version=\"6."_qs),
             qPrintable(found));
}

// The release gate reads the headers with its own reader; Windows' own must
// find what it checked: the checksum as Windows computes it, and the load
// configuration and delay-import table the post-link fix-up pointed to.
void TestProgram::headersAsWindowsReadsThem()
{
    DWORD stored = 0;
    DWORD computed = 0;
    QCOMPARE(MapFileAndCheckSumW(program.c_str(), &stored, &computed), DWORD(CHECKSUM_SUCCESS));
    QCOMPARE(stored, computed);
    ULONG size = 0;
    const auto *config = static_cast<const IMAGE_LOAD_CONFIG_DIRECTORY64 *>(
        peDirectory(IMAGE_DIRECTORY_ENTRY_LOAD_CONFIG, &size));
    QVERIFY2(config && size > offsetof(IMAGE_LOAD_CONFIG_DIRECTORY64, Reserved1),
             "no load configuration");
    QCOMPARE(config->Reserved1, WORD(LOAD_LIBRARY_SEARCH_SYSTEM32)); // DependentLoadFlags
    const auto *lazy = static_cast<const IMAGE_DELAYLOAD_DESCRIPTOR *>(
        peDirectory(IMAGE_DIRECTORY_ENTRY_DELAY_IMPORT));
    QVERIFY2(lazy && lazy->DllNameRVA, "no delay-import table");
}

QTEST_MAIN(TestProgram)
#include "tst_program.moc"
