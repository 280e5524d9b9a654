#include "FormTesting.h"
#include "TestFiles.h"

#include <QMenu>
#include <QMenuBar>
#include <QPushButton>

// Enter as the main window and the defaults dialog take it.
class TestFormKeys : public FormTestCase
{
    Q_OBJECT

private slots:
    void enterMovesToNextEdit();
    void enterOpensMenuAfterAltTap();
    void defaultsKeys();
};

void TestFormKeys::enterMovesToNextEdit()
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
void TestFormKeys::enterOpensMenuAfterAltTap()
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

void TestFormKeys::defaultsKeys()
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

QTEST_MAIN(TestFormKeys)
#include "tst_formkeys.moc"
