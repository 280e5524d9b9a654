#include "FormTesting.h"

#include <QContextMenuEvent>
#include <QLibraryInfo>
#include <QMenu>
#include <QTranslator>
#include <QXmlStreamReader>

// The texts Qt itself draws, in Japanese as Japanese Windows words them.
class TestToolkitTexts : public FormTestCase
{
    Q_OBJECT

private slots:
    void editMenu_data();
    void editMenu();
    void toolkitTexts_data();
    void toolkitTexts();
};

void TestToolkitTexts::editMenu_data()
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

void TestToolkitTexts::editMenu()
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
void TestToolkitTexts::toolkitTexts_data()
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

void TestToolkitTexts::toolkitTexts()
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

QTEST_MAIN(TestToolkitTexts)
#include "tst_toolkittexts.moc"
