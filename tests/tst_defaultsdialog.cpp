#include "FR0020DF.h"
#include "FormTesting.h"
#include "TestFiles.h"

#include <QPushButton>

// The defaults dialog: its layout, OK storing the defaults without closing,
// the main window reloading them afterwards, and a profile it cannot write.
class TestDefaultsDialog : public FormTestCase
{
    Q_OBJECT

private slots:
    void look_data();
    void look();
    void defaultsDialogLayout();
    void defaultsOkStoresAndStaysOpen();
    void defaultsReloadAfterCancel();
    void defaultsReadOnlyProfile();
};

void TestDefaultsDialog::look_data()
{
    addLookColumns();
    const QColor black(Qt::black);
    const QColor none;
    const QString uncaptioned;

    // clang-format off
    QTest::newRow("window") << u""_qs << u"ﾃﾞﾌｫﾙﾄ設定"_qs << QRect(0, 0, 312, 213) << 13 << black << none;
    QTest::newRow("Label1") << u"Label1"_qs << u"デフォルトに使用する文字列"_qs << QRect(16, 28, 166, 15) << 15 << black << none;
    QTest::newRow("LblCompanyName") << u"LblCompanyName"_qs << u"会社名"_qs << QRect(8, 84, 45, 15) << 15 << black << none;
    QTest::newRow("EdtCompanyName") << u"EdtCompanyName"_qs << uncaptioned << QRect(72, 80, 233, 21) << 13 << black << none;
    QTest::newRow("LblLegalCopyright") << u"LblLegalCopyright"_qs << u"著作権"_qs << QRect(8, 116, 45, 15) << 15 << black << none;
    QTest::newRow("EdtLegalCopyright") << u"EdtLegalCopyright"_qs << uncaptioned << QRect(72, 112, 233, 21) << 13 << black << none;
    QTest::newRow("BtnOK") << u"BtnOK"_qs << u"OK(&O)"_qs << QRect(151, 172, 74, 25) << 13 << black << none;
    QTest::newRow("BtnCancel") << u"BtnCancel"_qs << u"ｷｬﾝｾﾙ(&C)"_qs << QRect(231, 172, 74, 25) << 13 << black << none;
    // clang-format on
}

void TestDefaultsDialog::look()
{
    checkDialogLook("MnuDefault");
}

void TestDefaultsDialog::defaultsDialogLayout()
{
    openMain();
    m_main->move(120, 80);
    bool checked = false;
    whenModal([&](QWidget *modal) {
        QCOMPARE(modal, FrmFR0020DF);
        QCOMPARE(modal->frameGeometry().center().x() / 2, m_main->frameGeometry().center().x() / 2);
        QCOMPARE(modal->minimumSize(), modal->maximumSize());
        QVERIFY(child<QPushButton>(modal, "BtnOK")->isDefault());
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
    checkOnlyMainWindowLeft();
}

void TestDefaultsDialog::defaultsOkStoresAndStaysOpen()
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

void TestDefaultsDialog::defaultsReloadAfterCancel()
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

void TestDefaultsDialog::defaultsReadOnlyProfile()
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

QTEST_MAIN(TestDefaultsDialog)
#include "tst_defaultsdialog.moc"
