#include "AppDirectory.h"
#include "ClsCL0010GF.h"
#include "FR0010MN.h"
#include "FR0020DF.h"
#include "FR0030AB.h"
#include "FormTesting.h"
#include "PictureBox.h"
#include "TestFiles.h"
#include "ToolkitTexts.h"

#include <QAccessible>
#include <QAction>
#include <QContextMenuEvent>
#include <QImage>
#include <QLabel>
#include <QLibraryInfo>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QToolButton>
#include <QTranslator>
#include <QXmlStreamReader>

namespace {

const char *const editNames[]
    = { "EdtCompanyName",    "EdtFileDescription",  "EdtFileVersion", "EdtInternalName",
        "EdtLegalCopyright", "EdtOriginalFilename", "EdtProductName", "EdtProductVersion" };

template<typename T> T *child(QWidget *parent, const char *name)
{
    T *found = parent->findChild<T *>(QLatin1String(name));
    if (!found)
        qWarning("no child %s", name);
    return found;
}

QLineEdit *edit(QWidget *parent, const char *name)
{
    return child<QLineEdit>(parent, name);
}

// Finds an action by object name, checks that it is enabled, then triggers it.
void triggerAction(QWidget *window, const char *name)
{
    QAction *action = window->findChild<QAction *>(QLatin1String(name));
    QVERIFY2(action, name);
    QVERIFY(action->isEnabled());
    action->trigger();
}

// What a screen reader reads for `widget`.
QString accessibleName(QWidget *widget)
{
    QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(widget);
    return accessible ? accessible->text(QAccessible::Name) : u"(not accessible)"_qs;
}

// The 16 colours of the classic Windows palette that every picture keeps to.
bool isPaletteColour(QRgb pixel)
{
    static const QList<QRgb> palette
        = { 0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080, 0x008080, 0xC0C0C0,
            0x808080, 0xFF0000, 0x00FF00, 0xFFFF00, 0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF };
    return palette.contains(pixel & 0xFFFFFF);
}

// Whether `picture`, laid over `background`, appears pixel for pixel in
// `image` with its top left corner within `area`.
bool appearsIn(const QImage &image, const QImage &picture, const QRect &area, QRgb background)
{
    for (int top = area.top(); top <= area.bottom(); ++top) {
        for (int left = area.left(); left <= area.right(); ++left) {
            bool same = true;
            for (int y = 0; same && y < picture.height(); ++y) {
                for (int x = 0; same && x < picture.width(); ++x) {
                    const QRgb p = picture.pixel(x, y);
                    const QRgb expected = qAlpha(p) == 0 ? background : p;
                    same = image.pixel(left + x, top + y) == (expected | 0xFF000000);
                }
            }
            if (same)
                return true;
        }
    }
    return false;
}

enum BevelShape { Box, LeftLine };

// A lowered outer bevel with a raised inner one (Box): shadow then highlight
// along the top and left edges, the same along the right and bottom ones.
// A left line: shadow then highlight down the left edge and nothing else.
void checkBevel(QWidget *widget, BevelShape shape)
{
    QVERIFY(widget);
    const QImage image = widget->grab().toImage();
    const QRgb shadow = widget->palette().color(QPalette::Dark).rgb();
    const QRgb highlight = widget->palette().color(QPalette::Light).rgb();
    const int w = image.width();
    const int h = image.height();
    const auto at = [&image](int x, int y) { return image.pixel(x, y); };
    QCOMPARE(at(0, h / 2), shadow);
    QCOMPARE(at(1, h / 2), highlight);
    if (shape == Box) {
        QCOMPARE(at(w / 2, 0), shadow);
        QCOMPARE(at(w / 2, 1), highlight);
        QCOMPARE(at(w - 2, h / 2), shadow);
        QCOMPARE(at(w - 1, h / 2), highlight);
        QCOMPARE(at(w / 2, h - 2), shadow);
        QCOMPARE(at(w / 2, h - 1), highlight);
    } else {
        for (int x = 2; x < w; ++x) {
            QVERIFY(at(x, h / 2) != shadow);
            QVERIFY(at(x, h / 2) != highlight);
        }
    }
}

} // namespace

class TestForms : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void mainWindowLayout();
    void menusAndToolbar_data();
    void menusAndToolbar();
    void sharpAtEveryScale();
    void enterMovesToNextEdit();
    void enterOpensMenuAfterAltTap();
    void defaultsLoadedAtStart();
    void makeWritesScriptAndReports();
    void makeRefuses_data();
    void makeRefuses();
    void makeReportsUnwritableFile();
    void realInformationBox();
    void editMenu_data();
    void editMenu();
    void toolkitTexts_data();
    void toolkitTexts();

    void bevels();
    void placement_data();
    void placement();
    void defaultsDialogLayout();
    void defaultsOkStoresAndStaysOpen();
    void defaultsReloadAfterCancel();
    void defaultsKeys();
    void defaultsReadOnlyProfile();
    void aboutBox();

private:
    void openMain();
    QString dirFile(const QString &name) const { return m_dir->filePath(name); }

    std::unique_ptr<TemporaryAppDirectory> m_dir;
    std::unique_ptr<TFrmFR0010MN> m_main;
    QStringList m_messages;
    std::function<void()> m_onMessage;
};

void TestForms::initTestCase()
{
    ToolkitTexts::useJapanese();
}

void TestForms::init()
{
    m_dir = std::make_unique<TemporaryAppDirectory>();
    QVERIFY(m_dir->isValid());
    m_messages.clear();
    m_onMessage = nullptr;
    ClsCL0010GF.setInformationHandlerForTesting([this](const QString &text) {
        m_messages << text;
        if (m_onMessage)
            m_onMessage();
    });
}

void TestForms::cleanup()
{
    m_main.reset();
    FrmFR0010MN = nullptr;
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    const QWidgetList leftOver = QApplication::topLevelWidgets();
    QVERIFY2(leftOver.isEmpty(),
             qPrintable(leftOver.value(0) ? leftOver.value(0)->objectName() : QString()));
    ClsCL0010GF.setInformationHandlerForTesting(nullptr);
    m_dir.reset();
}

void TestForms::openMain()
{
    m_main = std::make_unique<TFrmFR0010MN>();
    FrmFR0010MN = m_main.get();
    m_main->show();
    QApplication::setActiveWindow(m_main.get());
    QVERIFY(QTest::qWaitForWindowActive(m_main.get()));
}

void TestForms::mainWindowLayout()
{
    openMain();
    QCOMPARE(m_main->windowTitle(), u"Kestrum"_qs);
    QCOMPARE(m_main->centralWidget()->size(), QSize(392, 314));
    QCOMPARE(m_main->minimumSize(), m_main->maximumSize());
    QVERIFY(m_main->windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
    QVERIFY(!m_main->windowFlags().testFlag(Qt::WindowMaximizeButtonHint));

    const QStringList captions
        = { u"会社名"_qs, u"ﾌｧｲﾙの説明"_qs, u"ﾌｧｲﾙﾊﾞｰｼﾞｮﾝ"_qs, u"内部名"_qs,
            u"著作権"_qs, u"正式ﾌｧｲﾙ名"_qs, u"製品名"_qs,      u"製品バージョン"_qs };
    const int editTops[] = { 56, 88, 120, 152, 184, 216, 248, 280 };
    for (int i = 0; i < 8; ++i) {
        QLineEdit *field = edit(m_main.get(), editNames[i]);
        QVERIFY(field);
        QCOMPARE(field->geometry(), QRect(i < 6 ? 104 : 103, editTops[i], 281, 21));
        const QString labelName = QString::fromLatin1(editNames[i]).replace(u"Edt"_qs, u"Lbl"_qs);
        auto *label = m_main->findChild<QLabel *>(labelName);
        QVERIFY(label);
        QCOMPARE(label->text(), captions.at(i));
        QCOMPARE(label->buddy(), field);
        QCOMPARE(accessibleName(field), captions.at(i));
        QCOMPARE(label->pos(), QPoint(8, editTops[i] + 4));
        QVERIFY2(label->geometry().right() < field->x(), qPrintable(labelName));
    }
    QCOMPARE(child<QWidget>(m_main.get(), "PnlTop")->geometry(), QRect(0, 0, 392, 41));
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
    QCOMPARE(child<QWidget>(m_main.get(), "ImgTitle")->geometry(), QRect(280, 8, 105, 25));
}

void TestForms::menusAndToolbar_data()
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

void TestForms::menusAndToolbar()
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

// At whatever display scale the test runs (QT_SCALE_FACTOR), each glyph and
// the title are drawn from the picture made for that scale, one picture pixel
// to one screen pixel: nothing smoothed, which would mix colours.
void TestForms::sharpAtEveryScale()
{
    openMain();
    QWidget *panel = child<QWidget>(m_main.get(), "PnlTop");
    const qreal scale = panel->devicePixelRatio();
    const int percent = qRound(scale * 100);
    const QString suffix = percent == 100 ? QString() : u"-%1"_qs.arg(percent);
    const QImage shot = panel->grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QRgb background = panel->palette().color(QPalette::Window).rgb();

    const QList<QPair<const char *, const char *>> pictures = { { "SpbMake", "make" },
                                                                { "SpbExit", "exit" },
                                                                { "SpbDefault", "default" },
                                                                { "SpbAbout", "about" },
                                                                { "ImgTitle", "title" } };
    for (const auto &[control, picture] : pictures) {
        const QRectF logical = child<QWidget>(panel, control)->geometry();
        const QRect onScreen = QRectF(logical.topLeft() * scale, logical.size() * scale)
                                   .toAlignedRect()
                                   .intersected(shot.rect());
        for (int y = onScreen.top(); y <= onScreen.bottom(); ++y)
            for (int x = onScreen.left(); x <= onScreen.right(); ++x)
                QVERIFY2(isPaletteColour(shot.pixel(x, y)),
                         qPrintable(u"%1 at %2,%3: %4"_qs.arg(QLatin1String(control))
                                        .arg(x)
                                        .arg(y)
                                        .arg(shot.pixel(x, y), 0, 16)));
        const QImage expected(u":/pictures/%1%2.xpm"_qs.arg(QLatin1String(picture), suffix));
        QVERIFY(!expected.isNull());
        const QRect corners(onScreen.topLeft(), onScreen.size() - expected.size() + QSize(1, 1));
        QVERIFY2(appearsIn(shot, expected, corners, background), control);
    }
}

void TestForms::enterMovesToNextEdit()
{
    openMain();
    for (const char *name : editNames)
        edit(m_main.get(), name)->setText(u"x"_qs);
    edit(m_main.get(), "EdtCompanyName")->setFocus();

    // Through all eight in tab order, and round to the first again.
    for (int i = 1; i <= 8; ++i) {
        pressKey(Qt::Key_Return);
        QCOMPARE(QApplication::focusWidget(), edit(m_main.get(), editNames[i % 8]));
    }
    pressKey(Qt::Key_Enter, Qt::KeypadModifier);
    QCOMPARE(QApplication::focusWidget(), edit(m_main.get(), "EdtFileDescription"));
    pressKey(Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), edit(m_main.get(), "EdtFileVersion"));
    for (const char *name : editNames)
        QCOMPARE(edit(m_main.get(), name)->text(), u"x"_qs);
    QVERIFY(m_messages.isEmpty());
}

// Alt tapped puts the menu bar in keyboard mode with its first menu
// highlighted; Enter then opens that menu instead of moving the focus.
void TestForms::enterOpensMenuAfterAltTap()
{
    openMain();
    QLineEdit *start = edit(m_main.get(), "EdtFileVersion");
    start->setFocus();
    pressKey(Qt::Key_Alt, Qt::AltModifier);
    QVERIFY(qobject_cast<QMenuBar *>(QApplication::focusWidget()));
    pressKey(Qt::Key_Return);

    auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
    QVERIFY(menu);
    QCOMPARE(menu->title(), u"ﾌｧｲﾙ(&F)"_qs);
    menu->close();
    pressKey(Qt::Key_Escape);
    QCOMPARE(QApplication::focusWidget(), start);
    QVERIFY(m_messages.isEmpty());
}

void TestForms::defaultsLoadedAtStart()
{
    QVERIFY(writeBytes(dirFile(u"Kestrum.ini"_qs), "[OPTION]\r\nRIGHTS=x\r\n"));
    openMain();
    QCOMPARE(edit(m_main.get(), "EdtCompanyName")->text(), QString());
    QCOMPARE(edit(m_main.get(), "EdtLegalCopyright")->text(), u"x"_qs);
}

void TestForms::makeWritesScriptAndReports()
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

void TestForms::makeRefuses_data()
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

void TestForms::makeRefuses()
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

void TestForms::makeReportsUnwritableFile()
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
void TestForms::realInformationBox()
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
        seen = true;
        box->button(QMessageBox::Ok)->click();
    });
    ClsCL0010GF.ShowInformation(u"作成されました。"_qs);
    QVERIFY(seen);
}

void TestForms::editMenu_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("text");

    // Separators left out. Japanese Windows' edit menu has no Redo.
    QTest::newRow("undo") << 0 << u"元に戻す(&U)\tCtrl+Z"_qs;
    QTest::newRow("redo") << 1 << u"やり直す(&R)\tCtrl+Y"_qs;
    QTest::newRow("cut") << 2 << u"切り取り(&T)\tCtrl+X"_qs;
    QTest::newRow("copy") << 3 << u"コピー(&C)\tCtrl+C"_qs;
    QTest::newRow("paste") << 4 << u"貼り付け(&P)\tCtrl+V"_qs;
    QTest::newRow("delete") << 5 << u"削除(&D)"_qs;
    QTest::newRow("select all") << 6 << u"すべて選択(&A)\tCtrl+A"_qs;
    QTest::newRow("nothing more") << 7 << QString();
}

void TestForms::editMenu()
{
    QFETCH(int, index);
    QFETCH(QString, text);
    openMain();
    QLineEdit *field = edit(m_main.get(), "EdtCompanyName");
    const QPoint middle = field->rect().center();
    QContextMenuEvent event(QContextMenuEvent::Keyboard, middle, field->mapToGlobal(middle));
    QApplication::sendEvent(field, &event);
    auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
    QVERIFY(menu);
    QList<QAction *> commands = menu->actions();
    commands.removeIf([](const QAction *action) { return action->isSeparator(); });
    const QString shown = index < commands.size() ? commands.at(index)->text() : QString();
    menu->close();
    QCOMPARE(shown, text);
}

// Each text of the toolkit catalogue built in is the one in Qt's own Japanese
// catalogue, unless it is marked as Japanese Windows' wording, which differs.
void TestForms::toolkitTexts_data()
{
    QTest::addColumn<QByteArray>("context");
    QTest::addColumn<QByteArray>("source");
    QTest::addColumn<QString>("translation");
    QTest::addColumn<bool>("windows");

    QFile file(u"%1/forms/toolkit_ja.ts"_qs.arg(QLatin1String(KESTRUM_SOURCE_DIR)));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QXmlStreamReader ts(&file);
    QByteArray context, source;
    bool windows = false;
    while (ts.readNext() != QXmlStreamReader::Invalid && !ts.atEnd()) {
        if (!ts.isStartElement())
            continue;
        if (ts.name() == u"name") {
            context = ts.readElementText().toUtf8();
        } else if (ts.name() == u"source") {
            source = ts.readElementText().toUtf8();
            windows = false;
        } else if (ts.name() == u"translatorcomment") {
            windows = ts.readElementText() == u"Windows";
        } else if (ts.name() == u"translation") {
            QTest::newRow(context + '/' + source)
                << context << source << ts.readElementText() << windows;
        }
    }
    QVERIFY2(!ts.hasError(), qPrintable(ts.errorString()));
}

void TestForms::toolkitTexts()
{
    QFETCH(QByteArray, context);
    QFETCH(QByteArray, source);
    QFETCH(QString, translation);
    QFETCH(bool, windows);
    QCOMPARE(QCoreApplication::translate(context, source), translation);

    QTranslator qt;
    QVERIFY2(qt.load(u"qtbase_ja"_qs, QLibraryInfo::path(QLibraryInfo::TranslationsPath)),
             "Qt's Japanese catalogue is not installed (qt6-translations-l10n)");
    if (windows)
        QVERIFY(qt.translate(context, source) != translation);
    else
        QCOMPARE(qt.translate(context, source), translation);
}

void TestForms::bevels()
{
    openMain();
    checkBevel(child<QWidget>(m_main.get(), "PnlTop"), Box);
    checkBevel(child<QWidget>(m_main.get(), "Bevel1"), LeftLine);
    checkBevel(child<QWidget>(m_main.get(), "Bevel2"), LeftLine);
}

void TestForms::placement_data()
{
    QTest::addColumn<QRect>("owner");
    QTest::addColumn<QSize>("dialog");
    QTest::addColumn<QPoint>("topLeft");

    QTest::newRow("smaller") << QRect(100, 50, 400, 360) << QSize(320, 240) << QPoint(140, 110);
    QTest::newRow("odd difference") << QRect(0, 0, 401, 361) << QSize(320, 240) << QPoint(40, 60);
    QTest::newRow("wider, truncated toward zero")
        << QRect(100, 100, 391, 300) << QSize(500, 200) << QPoint(46, 150);
    QTest::newRow("taller and wider")
        << QRect(10, 10, 100, 100) << QSize(205, 305) << QPoint(-42, -92);
}

void TestForms::placement()
{
    QFETCH(QRect, owner);
    QFETCH(QSize, dialog);
    QFETCH(QPoint, topLeft);
    QCOMPARE(TFrmFR0010MN::CentredOver(owner, dialog), topLeft);
}

void TestForms::defaultsDialogLayout()
{
    openMain();
    m_main->move(120, 80);
    bool checked = false;
    whenModal([&](QWidget *modal) {
        QCOMPARE(modal, FrmFR0020DF);
        QCOMPARE(modal->windowTitle(), u"ﾃﾞﾌｫﾙﾄ設定"_qs);
        QCOMPARE(modal->size(), QSize(312, 213));
        QCOMPARE(modal->frameGeometry().center().x() / 2, m_main->frameGeometry().center().x() / 2);
        QCOMPARE(child<QLabel>(modal, "Label1")->text(), u"デフォルトに使用する文字列"_qs);
        QCOMPARE(child<QLabel>(modal, "LblCompanyName")->text(), u"会社名"_qs);
        QCOMPARE(child<QLabel>(modal, "LblLegalCopyright")->text(), u"著作権"_qs);
        QCOMPARE(child<QPushButton>(modal, "BtnOK")->text(), u"OK(&O)"_qs);
        QVERIFY(child<QPushButton>(modal, "BtnOK")->isDefault());
        QCOMPARE(child<QPushButton>(modal, "BtnCancel")->text(), u"ｷｬﾝｾﾙ(&C)"_qs);
        QCOMPARE(child<QWidget>(modal, "EdtCompanyName")->geometry(), QRect(72, 80, 233, 21));
        QCOMPARE(child<QWidget>(modal, "BtnCancel")->geometry(), QRect(231, 172, 74, 25));
        QCOMPARE(accessibleName(edit(modal, "EdtCompanyName")), u"会社名"_qs);
        QCOMPARE(accessibleName(edit(modal, "EdtLegalCopyright")), u"著作権"_qs);
        QCOMPARE(accessibleName(child<QWidget>(modal, "BtnOK")), u"OK"_qs);
        QCOMPARE(accessibleName(child<QWidget>(modal, "BtnCancel")), u"ｷｬﾝｾﾙ"_qs);

        // Tab order: company, copyright, OK, Cancel, and round again.
        edit(modal, "EdtCompanyName")->setFocus();
        const char *order[] = { "EdtLegalCopyright", "BtnOK", "BtnCancel", "EdtCompanyName" };
        for (const char *name : order) {
            pressKey(Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget()->objectName(), QLatin1String(name));
        }
        checked = true;
    });
    triggerAction(m_main.get(), "MnuDefault");
    QVERIFY(checked);
    QCOMPARE(FrmFR0020DF, nullptr);
}

void TestForms::defaultsOkStoresAndStaysOpen()
{
    QVERIFY(writeBytes(dirFile(u"Kestrum.ini"_qs), "; mine\r\n[OPTION]\r\nCOMPANY=old\r\n"));
    openMain();
    edit(m_main.get(), "EdtFileVersion")->setText(u"1.2"_qs);
    edit(m_main.get(), "EdtCompanyName")->setText(u"typed"_qs);
    QCOMPARE(edit(m_main.get(), "EdtCompanyName")->text(), u"typed"_qs);

    whenModal([&](QWidget *modal) {
        QCOMPARE(edit(modal, "EdtCompanyName")->text(), u"old"_qs);
        edit(modal, "EdtCompanyName")->setText(u"株式会社ｹｽﾄﾗﾑ"_qs);
        edit(modal, "EdtLegalCopyright")->setText(u"(C) 2026"_qs);
        child<QPushButton>(modal, "BtnOK")->click();
        QVERIFY(modal->isVisible());
        child<QPushButton>(modal, "BtnOK")->click();
        QVERIFY(modal->isVisible());
        QCOMPARE(m_messages, QStringList({ u"保存しました。"_qs, u"保存しました。"_qs }));
        QCOMPARE(readBytes(dirFile(u"Kestrum.ini"_qs)),
                 QByteArray("; "
                            "mine\r\n[OPTION]\r\nCOMPANY="
                            "\x8A\x94\x8E\xAE\x89\xEF\x8E\xD0\xB9\xBD\xC4\xD7\xD1\r\n"
                            "RIGHTS=(C) 2026\r\n"));
        child<QPushButton>(modal, "BtnCancel")->click();
        QVERIFY(!modal->isVisible());
    });
    triggerAction(m_main.get(), "MnuDefault");
    QCOMPARE(edit(m_main.get(), "EdtCompanyName")->text(), u"株式会社ｹｽﾄﾗﾑ"_qs);
    QCOMPARE(edit(m_main.get(), "EdtLegalCopyright")->text(), u"(C) 2026"_qs);
    QCOMPARE(edit(m_main.get(), "EdtFileVersion")->text(), u"1.2"_qs);
}

void TestForms::defaultsReloadAfterCancel()
{
    openMain();
    edit(m_main.get(), "EdtCompanyName")->setText(u"typed"_qs);
    edit(m_main.get(), "EdtLegalCopyright")->setText(u"typed too"_qs);
    edit(m_main.get(), "EdtInternalName")->setText(u"kept"_qs);
    whenModal([](QWidget *modal) { child<QPushButton>(modal, "BtnCancel")->click(); });
    triggerAction(m_main.get(), "MnuDefault");
    QCOMPARE(edit(m_main.get(), "EdtCompanyName")->text(), QString());
    QCOMPARE(edit(m_main.get(), "EdtLegalCopyright")->text(), QString());
    QCOMPARE(edit(m_main.get(), "EdtInternalName")->text(), u"kept"_qs);
    QVERIFY(!QFileInfo::exists(dirFile(u"Kestrum.ini"_qs)));
    QVERIFY(m_messages.isEmpty());
}

void TestForms::defaultsKeys()
{
    openMain();
    bool done = false;
    whenModal([&](QWidget *modal) {
        QLineEdit *company = edit(modal, "EdtCompanyName");
        company->setFocus();
        company->setText(u"A"_qs);

        pressKey(Qt::Key_Return, Qt::ShiftModifier); // moves on, stores nothing
        QCOMPARE(QApplication::focusWidget(), edit(modal, "EdtLegalCopyright"));
        QVERIFY(!QFileInfo::exists(dirFile(u"Kestrum.ini"_qs)));
        QVERIFY(m_messages.isEmpty());

        company->setFocus();
        pressKey(Qt::Key_Return); // presses OK, focus stays
        QCOMPARE(m_messages, QStringList { u"保存しました。"_qs });
        QCOMPARE(QApplication::focusWidget(), company);
        QCOMPARE(company->text(), u"A"_qs);
        QCOMPARE(readBytes(dirFile(u"Kestrum.ini"_qs)),
                 QByteArray("[OPTION]\r\nCOMPANY=A\r\nRIGHTS=\r\n"));

        pressKey(Qt::Key_Escape); // closes nothing
        QVERIFY(modal->isVisible());

        child<QPushButton>(modal, "BtnOK")->setFocus();
        pressKey(Qt::Key_Return);
        QCOMPARE(m_messages.size(), 2);
        QVERIFY(modal->isVisible());

        child<QPushButton>(modal, "BtnCancel")->setFocus();
        pressKey(Qt::Key_Return); // presses Cancel
        QVERIFY(!modal->isVisible());
        QCOMPARE(m_messages.size(), 2);
        done = true;
    });
    triggerAction(m_main.get(), "MnuDefault");
    QVERIFY(done);
    QCOMPARE(edit(m_main.get(), "EdtCompanyName")->text(), u"A"_qs);
}

void TestForms::defaultsReadOnlyProfile()
{
    const QByteArray before = "[OPTION]\r\nCOMPANY=a\r\nRIGHTS=b\r\n";
    QVERIFY(writeBytes(dirFile(u"Kestrum.ini"_qs), before));
    QVERIFY(QFile::setPermissions(dirFile(u"Kestrum.ini"_qs), QFileDevice::ReadOwner));
    openMain();
    whenModal([&](QWidget *modal) {
        edit(modal, "EdtCompanyName")->setText(u"x"_qs);
        child<QPushButton>(modal, "BtnOK")->click();
        QCOMPARE(m_messages, QStringList { u"保存に失敗しました。"_qs });
        QVERIFY(modal->isVisible());
        edit(modal, "EdtLegalCopyright")->setText(u"©"_qs);
        child<QPushButton>(modal, "BtnOK")->click();
        QCOMPARE(m_messages.size(), 2);
        QVERIFY(m_messages.last().startsWith(u"著作権 "_qs));
    });
    triggerAction(m_main.get(), "MnuDefault");
    QCOMPARE(readBytes(dirFile(u"Kestrum.ini"_qs)), before);
    QCOMPARE(edit(m_main.get(), "EdtCompanyName")->text(), u"a"_qs);
}

void TestForms::aboutBox()
{
    openMain();
    for (const char *name : editNames)
        edit(m_main.get(), name)->setText(QLatin1String(name));
    bool checked = false;
    whenModal([&](QWidget *modal) {
        QCOMPARE(modal, FrmFR0030AB);
        QCOMPARE(modal->windowTitle(), u"Version Information"_qs);
        QCOMPARE(modal->size(), QSize(298, 213));
        QCOMPARE(modal->frameGeometry().topLeft(),
                 TFrmFR0010MN::CentredOver(m_main->frameGeometry(), modal->frameGeometry().size()));
        checkBevel(child<QWidget>(modal, "Panel1"), Box);
        QCOMPARE(child<QLabel>(modal, "Version")->text(), u"Version 1.0.1.0"_qs);
        QCOMPARE(child<QLabel>(modal, "Comments")->text(), u"バージョンリソース作成"_qs);
        QVERIFY(!child<QLabel>(modal, "Copyright")->text().isEmpty());
        QCOMPARE(child<PictureBox>(modal, "ProgramIcon")->picture().availableSizes().size(), 8);
        QCOMPARE(child<PictureBox>(modal, "ImgTitle")->picture().actualSize(QSize(105, 25)),
                 QSize(105, 25));
        QCOMPARE(accessibleName(child<QWidget>(modal, "OKButton")), u"OK"_qs);
        QCOMPARE(QApplication::focusWidget(), child<QWidget>(modal, "OKButton"));
        pressKey(Qt::Key_Escape);
        QVERIFY(modal->isVisible());
        pressKey(Qt::Key_Return);
        QVERIFY(!modal->isVisible());
        checked = true;
    });
    triggerAction(m_main.get(), "MnuAbout");
    QVERIFY(checked);
    for (const char *name : editNames)
        QCOMPARE(edit(m_main.get(), name)->text(), QLatin1String(name));
    QVERIFY(m_messages.isEmpty());
}

QTEST_MAIN(TestForms)
#include "tst_forms.moc"
