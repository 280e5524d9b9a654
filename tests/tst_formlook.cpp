#include "FormLook.h"
#include "FormTesting.h"
#include "PictureBox.h"
#include "Pictures.h"

#include <QImage>
#include <QPainter>
#include <QPushButton>

namespace {

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

} // namespace

// What the windows share of their looks: bevels, a dialog's place over its
// owner, and the pictures drawn sharp at every display scale.
class TestFormLook : public FormTestCase
{
    Q_OBJECT

private slots:
    void bevels();
    void placement_data();
    void placement();
    void sharpAtEveryScale();
    void stretchedPictureFillsItsBox();
    void pictureBoxRedrawnWhenChanged();
    void picturesInTheSizeAsked_data();
    void picturesInTheSizeAsked();
    void buttonNames_data();
    void buttonNames();
};

void TestFormLook::bevels()
{
    openMain();
    checkBevel(child<QWidget>(m_main.get(), "PnlTop"), Box);
    checkBevel(child<QWidget>(m_main.get(), "Bevel1"), LeftLine);
    checkBevel(child<QWidget>(m_main.get(), "Bevel2"), LeftLine);
}

void TestFormLook::placement_data()
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

void TestFormLook::placement()
{
    QFETCH(QRect, owner);
    QFETCH(QSize, dialog);
    QFETCH(QPoint, topLeft);
    QCOMPARE(TFrmFR0010MN::CentredOver(owner, dialog), topLeft);
}

// At whatever display scale the test runs (QT_SCALE_FACTOR), each glyph and
// the title are drawn from the picture made for that scale, one picture pixel
// to one screen pixel: nothing smoothed, which would mix colours.
void TestFormLook::sharpAtEveryScale()
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

// The about box's icon, stretched to its box: the whole picture fills the box
// at whatever display scale, not a corner of it drawn too large.
void TestFormLook::stretchedPictureFillsItsBox()
{
    QPixmap quarters(32, 32);
    quarters.fill(Qt::red);
    QPainter(&quarters).fillRect(16, 16, 16, 16, Qt::blue);
    QWidget window;
    auto *box = new PictureBox(&window);
    box->setGeometry(0, 0, 33, 33);
    box->setScaledContents(true);
    box->setPicture(QIcon(quarters));
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const QImage shot = box->grab().toImage();
    QCOMPARE(QColor(shot.pixel(1, 1)), QColor(Qt::red));
    QCOMPARE(QColor(shot.pixel(shot.width() - 2, shot.height() - 2)), QColor(Qt::blue));
}

// A box already on the screen draws a new picture, or a new way of fitting
// it, at once.
void TestFormLook::pictureBoxRedrawnWhenChanged()
{
    QWidget window;
    auto *box = new PictureBox(&window);
    box->resize(33, 33);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const std::function<void()> changes[] = { [box] { box->setPicture(Pictures::programIcon()); },
                                              [box] { box->setScaledContents(true); } };
    for (const auto &change : changes) {
        QCoreApplication::processEvents();
        EventCounter painted(box, QEvent::Paint);
        change();
        QTRY_VERIFY(painted.count > 0);
    }
}

void TestFormLook::picturesInTheSizeAsked_data()
{
    QTest::addColumn<QIcon>("picture");
    QTest::addColumn<int>("pixels");
    QTest::addColumn<QString>("madeFor"); // the version drawn for that size, if any

    const QIcon make = Pictures::picture(QLatin1String("make"));
    const QIcon icon = Pictures::programIcon();
    QTest::newRow("glyph as made") << make << 16 << u"make"_qs;
    QTest::newRow("glyph for 125 %, as made") << make << 20 << u"make-125"_qs;
    QTest::newRow("glyph for 110 %, scaled down from 125 %") << make << 18 << QString();
    QTest::newRow("glyph smaller than made") << make << 12 << QString();
    QTest::newRow("icon as made, 24") << icon << 24 << u"kestrum-24"_qs;
    QTest::newRow("icon as made, 32") << icon << 32 << u"kestrum"_qs;
    QTest::newRow("icon as made, 48") << icon << 48 << u"kestrum-48"_qs;
    QTest::newRow("icon between versions") << icon << 33 << QString();
}

// Each size is drawn from the smallest version at least as large, scaled
// down where it is larger; a size a version was drawn for is that version.
void TestFormLook::picturesInTheSizeAsked()
{
    QFETCH(QIcon, picture);
    QFETCH(int, pixels);
    QFETCH(QString, madeFor);
    const QPixmap pixmap = picture.pixmap(QSize(pixels, pixels), 1.0);
    QCOMPARE(pixmap.size(), QSize(pixels, pixels));
    if (!madeFor.isNull()) {
        const QImage made(u":/pictures/%1.xpm"_qs.arg(madeFor));
        QVERIFY(!made.isNull());
        QCOMPARE(pixmap.toImage().convertToFormat(QImage::Format_ARGB32),
                 made.convertToFormat(QImage::Format_ARGB32));
    }
}

void TestFormLook::buttonNames_data()
{
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("name");

    QTest::newRow("key in brackets after the text") << u"OK(&O)"_qs << u"OK"_qs;
    QTest::newRow("half-width katakana") << u"ｷｬﾝｾﾙ(&C)"_qs << u"ｷｬﾝｾﾙ"_qs;
    QTest::newRow("key at the start") << u"&Cancel"_qs << u"Cancel"_qs;
    QTest::newRow("key inside") << u"Save &As"_qs << u"Save As"_qs;
    QTest::newRow("brackets, more after") << u"A(&B)C"_qs << u"A(B)C"_qs;
    QTest::newRow("no key") << u"OK"_qs << u"OK"_qs;
}

// A screen reader announces a button's access key itself, so the name it
// reads is the caption without it.
void TestFormLook::buttonNames()
{
    QFETCH(QString, caption);
    QFETCH(QString, name);
    QWidget form;
    auto *button = new QPushButton(caption, &form);
    FormLook::nameButtons(&form);
    QCOMPARE(accessibleName(button), name);
}

QTEST_MAIN(TestFormLook)
#include "tst_formlook.moc"
