#include "FR0030AB.h"
#include "FormTesting.h"
#include "PictureBox.h"

#include <QLabel>

// The about box: what it shows and where, its keys, and the main window left
// as it was.
class TestAboutBox : public FormTestCase
{
    Q_OBJECT

private slots:
    void look_data();
    void look();
    void aboutBox();
};

void TestAboutBox::look_data()
{
    addLookColumns();
    const QColor navy(0x00, 0x00, 0x80);
    const QColor none;
    const QString uncaptioned;

    // The box's own text colour, yellow, reaches none of its controls: each
    // label sets its own, and Windows draws a push button's caption in the
    // system's button-text colour whatever its font's colour.
    // clang-format off
    QTest::newRow("window") << u""_qs << u"Version Information"_qs << QRect(0, 0, 298, 213) << 16 << none << none;
    QTest::newRow("Panel1") << u"Panel1"_qs << uncaptioned << QRect(8, 8, 281, 161) << 16 << none << QColor(0xC0, 0xC0, 0xC0);
    QTest::newRow("ProgramIcon") << u"ProgramIcon"_qs << uncaptioned << QRect(72, 24, 33, 33) << 16 << none << none;
    QTest::newRow("ImgTitle") << u"ImgTitle"_qs << uncaptioned << QRect(112, 28, 105, 25) << 16 << none << none;
    QTest::newRow("Version") << u"Version"_qs << u"Version 1.0.1.0"_qs << QRect(8, 64, 265, 17) << 13 << QColor(0x00, 0x00, 0xFF) << none;
    QTest::newRow("Copyright") << u"Copyright"_qs << uncaptioned << QRect(8, 96, 265, 16) << 16 << navy << none;
    QTest::newRow("Comments") << u"Comments"_qs << u"バージョンリソース作成"_qs << QRect(8, 120, 265, 16) << 13 << navy << none;
    QTest::newRow("OKButton") << u"OKButton"_qs << u"OK"_qs << QRect(111, 180, 75, 25) << 16 << QColor(Qt::black) << none;
    // clang-format on
}

void TestAboutBox::look()
{
    checkDialogLook("MnuAbout");
}

void TestAboutBox::aboutBox()
{
    openMain();
    for (const char *name : editNames)
        edit(m_main.get(), name)->setText(QLatin1String(name));
    bool checked = false;
    whenModal([&](QWidget *modal) {
        QCOMPARE(modal, FrmFR0030AB);
        QCOMPARE(modal->frameGeometry().topLeft(),
                 TFrmFR0010MN::CentredOver(m_main->frameGeometry(), modal->frameGeometry().size()));
        QCOMPARE(modal->minimumSize(), modal->maximumSize());
        checkBevel(child<QWidget>(modal, "Panel1"), Box);
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
    QCOMPARE(FrmFR0030AB, nullptr);
    checkOnlyMainWindowLeft();
    for (const char *name : editNames)
        QCOMPARE(edit(m_main.get(), name)->text(), QLatin1String(name));
    QVERIFY(m_messages.isEmpty());
}

QTEST_MAIN(TestAboutBox)
#include "tst_aboutbox.moc"
