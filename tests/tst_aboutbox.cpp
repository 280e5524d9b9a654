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
    void aboutBox();
};

void TestAboutBox::aboutBox()
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

QTEST_MAIN(TestAboutBox)
#include "tst_aboutbox.moc"
