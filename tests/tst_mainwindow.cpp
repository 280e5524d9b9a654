#include "ClsCL0010GF.h"
#include "FormTesting.h"
#include "TestFiles.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QToolButton>

// The main window: its layout, menus and toolbar, the defaults it starts with,
// and Make with what it writes and reports.
class TestMainWindow : public FormTestCase
{
    Q_OBJECT

private slots:
    void look_data();
    void look();
    void mainWindowLayout();
    void restoredFromTaskBarComesToFront();
    void menusAndToolbar_data();
    void menusAndToolbar();
    void defaultsLoadedAtStart();
    void makeWritesScriptAndReports();
    void makeRefuses_data();
    void makeRefuses();
    void makeReportsUnwritableFile();
    void realInformationBox();
};

void TestMainWindow::look_data()
{
    addLookColumns();
    const QColor black(Qt::black);
    const QColor none;
    const QRect unplaced;
    const QString uncaptioned;

    // clang-format off
    QTest::newRow("window") << u""_qs << u"Kestrum"_qs << QRect(0, 0, 392, 314) << 13 << black << none;
    QTest::newRow("LblCompanyName") << u"LblCompanyName"_qs << u"会社名"_qs << QRect(8, 60, 45, 15) << 15 << black << none;
    QTest::newRow("LblFileDescription") << u"LblFileDescription"_qs << u"ﾌｧｲﾙの説明"_qs << QRect(8, 92, 76, 15) << 15 << black << none;
    QTest::newRow("LblFileVersion") << u"LblFileVersion"_qs << u"ﾌｧｲﾙﾊﾞｰｼﾞｮﾝ"_qs << QRect(8, 124, 86, 15) << 15 << black << none;
    QTest::newRow("LblInternalName") << u"LblInternalName"_qs << u"内部名"_qs << QRect(8, 156, 45, 15) << 15 << black << none;
    QTest::newRow("LblLegalCopyright") << u"LblLegalCopyright"_qs << u"著作権"_qs << QRect(8, 188, 45, 15) << 15 << black << none;
    QTest::newRow("LblOriginalFilename") << u"LblOriginalFilename"_qs << u"正式ﾌｧｲﾙ名"_qs << QRect(8, 220, 79, 15) << 15 << black << none;
    QTest::newRow("LblProductName") << u"LblProductName"_qs << u"製品名"_qs << QRect(8, 252, 45, 15) << 15 << black << none;
    QTest::newRow("LblProductVersion") << u"LblProductVersion"_qs << u"製品バージョン"_qs << QRect(8, 284, 86, 15) << 15 << black << none;
    QTest::newRow("EdtCompanyName") << u"EdtCompanyName"_qs << uncaptioned << QRect(104, 56, 281, 21) << 13 << black << none;
    QTest::newRow("EdtFileDescription") << u"EdtFileDescription"_qs << uncaptioned << QRect(104, 88, 281, 21) << 13 << black << none;
    QTest::newRow("EdtFileVersion") << u"EdtFileVersion"_qs << uncaptioned << QRect(104, 120, 281, 21) << 13 << black << none;
    QTest::newRow("EdtInternalName") << u"EdtInternalName"_qs << uncaptioned << QRect(104, 152, 281, 21) << 13 << black << none;
    QTest::newRow("EdtLegalCopyright") << u"EdtLegalCopyright"_qs << uncaptioned << QRect(104, 184, 281, 21) << 13 << black << none;
    QTest::newRow("EdtOriginalFilename") << u"EdtOriginalFilename"_qs << uncaptioned << QRect(104, 216, 281, 21) << 13 << black << none;
    QTest::newRow("EdtProductName") << u"EdtProductName"_qs << uncaptioned << QRect(103, 248, 281, 21) << 13 << black << none;
    QTest::newRow("EdtProductVersion") << u"EdtProductVersion"_qs << uncaptioned << QRect(103, 280, 281, 21) << 13 << black << none;
    QTest::newRow("PnlTop") << u"PnlTop"_qs << uncaptioned << QRect(0, 0, 392, 41) << 13 << black << QColor(0xC0, 0xC0, 0xC0);
    QTest::newRow("Bevel1") << u"Bevel1"_qs << uncaptioned << QRect(59, 8, 6, 25) << 13 << black << none;
    QTest::newRow("Bevel2") << u"Bevel2"_qs << uncaptioned << QRect(91, 8, 6, 25) << 13 << black << none;
    QTest::newRow("ImgTitle") << u"ImgTitle"_qs << uncaptioned << QRect(280, 8, 105, 25) << 13 << black << none;
    // Menus are windows of their own, in the font the program gives them all.
    QTest::newRow("MnuFile") << u"MnuFile"_qs << u"ﾌｧｲﾙ(&F)"_qs << unplaced << 13 << black << none;
    QTest::newRow("MnuOption") << u"MnuOption"_qs << u"設定(&O)"_qs << unplaced << 13 << black << none;
    QTest::newRow("MnuHelp") << u"MnuHelp"_qs << u"ﾍﾙﾌﾟ(&H)"_qs << unplaced << 13 << black << none;
    // clang-format on
}

void TestMainWindow::look()
{
    openMain();
    checkLook(m_main.get());
}

void TestMainWindow::mainWindowLayout()
{
    openMain();
    QCOMPARE(m_main->minimumSize(), m_main->maximumSize());
    QVERIFY(m_main->windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
    QVERIFY(!m_main->windowFlags().testFlag(Qt::WindowMaximizeButtonHint));

    // Each label names its edit, for the access key and for screen readers.
    for (const char *name : editNames) {
        QLineEdit *field = edit(m_main.get(), name);
        QVERIFY(field);
        const QString labelName = QString::fromLatin1(name).replace(u"Edt"_qs, u"Lbl"_qs);
        auto *label = m_main->findChild<QLabel *>(labelName);
        QVERIFY(label);
        QCOMPARE(label->buddy(), field);
        QCOMPARE(accessibleName(field), label->text());
    }
    auto *separator = child<QAction>(m_main.get(), "MnuNA");
    QVERIFY(separator && separator->isSeparator());
    QCOMPARE(child<QMenu>(m_main.get(), "MnuFile")->actions(),
             QList<QAction *>({ child<QAction>(m_main.get(), "MnuMake"), separator,
                                child<QAction>(m_main.get(), "MnuExit") }));

    // Centred on the screen by its outer size, frame and title bar included.
    const QRect screen = m_main->screen()->geometry();
    const QRect outer = m_main->frameGeometry();
    QVERIFY(outer.size() != m_main->size());
    QCOMPARE(outer.topLeft(),
             QPoint((screen.width() - outer.width()) / 2, (screen.height() - outer.height()) / 2));
}

// Restored from the task bar while another window has the keyboard, the
// main window is raised and made active, ready for typing.
void TestMainWindow::restoredFromTaskBarComesToFront()
{
    openMain();
    QWidget other;
    other.show();
    QApplication::setActiveWindow(&other);
    QVERIFY(QTest::qWaitForWindowActive(&other));
    m_main->setWindowState(Qt::WindowMinimized);

    EventCounter raised(m_main.get(), QEvent::ZOrderChange);
    m_main->setWindowState(Qt::WindowNoState);
    QTRY_COMPARE(QApplication::activeWindow(), m_main.get());
    QVERIFY(raised.count > 0);
}

void TestMainWindow::menusAndToolbar_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<QString>("menu");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("hint");
    QTest::addColumn<int>("left");

    // clang-format off
    QTest::newRow("make") << u"MnuMake"_qs << u"ﾌｧｲﾙ(&F)"_qs << u"作成(&M)"_qs << u"SpbMake"_qs << u"作成"_qs << 8;
    QTest::newRow("exit") << u"MnuExit"_qs << u"ﾌｧｲﾙ(&F)"_qs << u"終了(&X)"_qs << u"SpbExit"_qs << u"終了"_qs << 32;
    QTest::newRow("default") << u"MnuDefault"_qs << u"設定(&O)"_qs << u"ﾃﾞﾌｫﾙﾄ(&D)"_qs << u"SpbDefault"_qs << u"ﾃﾞﾌｫﾙﾄ設定"_qs << 64;
    QTest::newRow("about") << u"MnuAbout"_qs << u"ﾍﾙﾌﾟ(&H)"_qs << u"ﾊﾞｰｼﾞｮﾝ情報(&A)"_qs << u"SpbAbout"_qs << u"ﾊﾞｰｼﾞｮﾝ情報"_qs << 96;
    // clang-format on
}

void TestMainWindow::menusAndToolbar()
{
    QFETCH(QString, action);
    QFETCH(QString, menu);
    QFETCH(QString, text);
    QFETCH(QString, button);
    QFETCH(QString, hint);
    QFETCH(int, left);
    openMain();

    auto *command = m_main->findChild<QAction *>(action);
    QVERIFY(command);
    QCOMPARE(command->text(), text);
    QCOMPARE(command->toolTip(), hint);
    QVERIFY(command->shortcut().isEmpty());

    QMenu *owner = nullptr;
    for (QAction *top : m_main->menuBar()->actions())
        if (top->menu() && top->menu()->actions().contains(command))
            owner = top->menu();
    QVERIFY(owner);
    QCOMPARE(owner->title(), menu);

    auto *speedButton = m_main->findChild<QToolButton *>(button);
    QVERIFY(speedButton);
    QCOMPARE(speedButton->defaultAction(), command);
    QCOMPARE(speedButton->toolTip(), hint);
    QCOMPARE(speedButton->focusPolicy(), Qt::NoFocus);
    QCOMPARE(speedButton->geometry(), QRect(left, 8, 25, 25));
    QVERIFY(!speedButton->icon().isNull());
    QCOMPARE(accessibleName(speedButton), hint);
}

void TestMainWindow::defaultsLoadedAtStart()
{
    QVERIFY(writeBytes(dirFile(u"Kestrum.ini"_qs), "[OPTION]\r\nRIGHTS=x\r\n"));
    openMain();
    QCOMPARE(edit(m_main.get(), "EdtCompanyName")->text(), QString());
    QCOMPARE(edit(m_main.get(), "EdtLegalCopyright")->text(), u"x"_qs);
}

void TestMainWindow::makeWritesScriptAndReports()
{
    openMain();
    edit(m_main.get(), "EdtCompanyName")->setText(u"株式会社"_qs);
    edit(m_main.get(), "EdtProductVersion")->setText(u"ﾊﾞｰｼﾞｮﾝ 2"_qs);
    triggerAction(m_main.get(), "MnuMake");

    QCOMPARE(m_messages, QStringList { u"作成されました。"_qs });
    const QByteArray script = readBytes(dirFile(u"Kestrum.rc"_qs));
    QVERIFY(script.contains(
        "   VALUE \"CompanyName\", \"\x8A\x94\x8E\xAE\x89\xEF\x8E\xD0\\000\\000\"\r\n"));
    QVERIFY(script.contains(
        "   VALUE \"ProductVersion\", \"\xCA\xDE\xB0\xBC\xDE\xAE\xDD 2\\000\"\r\n"));
    QVERIFY(script.contains("   VALUE \"FileDescription\", \"\\000\"\r\n"));
}

void TestMainWindow::makeRefuses_data()
{
    QTest::addColumn<QString>("editName");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("message");

    QTest::newRow("unmappable character")
        << u"EdtProductName"_qs << u"Café"_qs
        << u"製品名 の文字「é」(U+00E9) はｼﾌﾄJISで表せません。"_qs;
    QTest::newRow("too long for a version resource")
        << u"EdtFileDescription"_qs << QString(32502, u'x')
        << u"ﾌｧｲﾙの説明 が長すぎます。ﾊﾞｰｼﾞｮﾝ情報は全体で65535ﾊﾞｲﾄまでですが、65536ﾊﾞｲﾄになります。"_qs;
}

void TestMainWindow::makeRefuses()
{
    QFETCH(QString, editName);
    QFETCH(QString, text);
    QFETCH(QString, message);
    openMain();
    edit(m_main.get(), qPrintable(editName))->setText(text);
    triggerAction(m_main.get(), "MnuMake");
    QCOMPARE(m_messages, QStringList { message });
    QVERIFY(!QFileInfo::exists(dirFile(u"Kestrum.rc"_qs)));
}

void TestMainWindow::makeReportsUnwritableFile()
{
    const QString path = dirFile(u"Kestrum.rc"_qs);
    QVERIFY(writeBytes(path, "old"));
    QVERIFY(QFile::setPermissions(path, QFileDevice::ReadOwner));
    openMain();
    triggerAction(m_main.get(), "MnuMake");
    QCOMPARE(m_messages,
             QStringList { u"ﾌｧｲﾙ %1 を作成できません"_qs.arg(QDir::toNativeSeparators(path)) });
    QCOMPARE(readBytes(path), QByteArray("old"));
}

// The one test that shows the real box: caption, icon, text and button.
void TestMainWindow::realInformationBox()
{
    ClsCL0010GF.setInformationHandlerForTesting(nullptr);
    bool seen = false;
    whenModal([&seen](QWidget *modal) {
        auto *box = qobject_cast<QMessageBox *>(modal);
        QVERIFY(box);
        QCOMPARE(box->windowTitle(), u"Kestrum"_qs);
        QCOMPARE(box->text(), u"作成されました。"_qs);
        QCOMPARE(box->textFormat(), Qt::PlainText); // a quoted "<b>" stays text
        QCOMPARE(box->icon(), QMessageBox::Information);
        QCOMPARE(box->standardButtons(), QMessageBox::Ok);
        QCOMPARE(box->button(QMessageBox::Ok)->text(), u"OK"_qs);
        QCOMPARE(box->font().pixelSize(), 13);
        seen = true;
        box->button(QMessageBox::Ok)->click();
    });
    ClsCL0010GF.ShowInformation(u"作成されました。"_qs);
    QVERIFY(seen);
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
