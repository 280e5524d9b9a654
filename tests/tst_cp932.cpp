#include "Cp932.h"
#include "KestrumError.h"

#include <QTest>

class TestCp932 : public QObject
{
    Q_OBJECT

private slots:
    void encodesMicrosoftMapping_data();
    void encodesMicrosoftMapping();
    void refusesWhatItCannotHold_data();
    void refusesWhatItCannotHold();
    void decodes();
    void decodeRejectsInvalidBytes();
    void leadBytes();
};

void TestCp932::encodesMicrosoftMapping_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");

    QTest::newRow("empty") << QString() << QByteArray();
    QTest::newRow("ascii") << u"Acme 1.0"_qs << QByteArray("Acme 1.0");
    QTest::newRow("backslash is 0x5C") << u"C:\\a"_qs
                                       << QByteArray("C:\x5C"
                                                     "a");
    QTest::newRow("tilde is 0x7E") << u"~"_qs << QByteArray("\x7E");
    QTest::newRow("half-width katakana") << u"ﾌｧｲﾙ"_qs << QByteArray("\xCC\xA7\xB2\xD9");
    QTest::newRow("kanji and kana") << u"株式会社テスト"_qs
                                    << QByteArray("\x8A\x94\x8E\xAE\x89\xEF\x8E\xD0"
                                                  "\x83\x65\x83\x58\x83\x67");
    QTest::newRow("trail byte 0x5C") << u"ソ表能"_qs << QByteArray("\x83\x5C\x95\x5C\x94\x5C");
    QTest::newRow("NEC circled digit") << u"①"_qs << QByteArray("\x87\x40");
    QTest::newRow("NEC roman numeral") << u"Ⅰ"_qs << QByteArray("\x87\x54");
    QTest::newRow("NEC parenthesised kabu") << u"㈱"_qs << QByteArray("\x87\x8A");
    QTest::newRow("IBM extension") << u"髙"_qs << QByteArray("\xFB\xFC");
    QTest::newRow("small roman numeral takes IBM row") << u"ⅰ"_qs << QByteArray("\xFA\x40");
    QTest::newRow("fullwidth tilde") << u"～"_qs << QByteArray("\x81\x60");
    QTest::newRow("wave dash") << u"\u301C"_qs << QByteArray("\x81\x60");
    QTest::newRow("double vertical line") << u"\u2016"_qs << QByteArray("\x81\x61");
    QTest::newRow("minus sign") << u"\u2212"_qs << QByteArray("\x81\x7C");
    QTest::newRow("cent sign") << u"\u00A2"_qs << QByteArray("\x81\x91");
    QTest::newRow("pound sign") << u"\u00A3"_qs << QByteArray("\x81\x92");
    QTest::newRow("not sign") << u"\u00AC"_qs << QByteArray("\x81\xCA");
    QTest::newRow("em dash") << u"\u2014"_qs << QByteArray("\x81\x5C");
    QTest::newRow("control characters beside kana")
        << u"\u001A\u001C\u007Fテ\u001F"_qs << QByteArray("\x1A\x1C\x7F\x83\x65\x1F");
    QTest::newRow("quote kept") << u"\"x\""_qs << QByteArray("\"x\"");
}

void TestCp932::encodesMicrosoftMapping()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);
    QCOMPARE(Cp932::encode(text, u"会社名"_qs), bytes);
}

void TestCp932::refusesWhatItCannotHold_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("shown");

    QTest::newRow("accented latin") << u"Café"_qs << u"「é」(U+00E9)"_qs;
    QTest::newRow("emoji") << u"ok😀"_qs << u"「😀」(U+1F600)"_qs;
    QTest::newRow("emoji, then more") << u"😀ok"_qs << u"「😀」(U+1F600)"_qs;
    QTest::newRow("hangul after kanji") << u"会社한"_qs << u"「한」(U+D55C)"_qs;
    QTest::newRow("one-way mapping") << u"\uF86F"_qs << u"(U+F86F)"_qs;
    QTest::newRow("yen sign is not a backslash") << u"\u00A5100"_qs << u"「¥」(U+00A5)"_qs;
#ifndef Q_OS_WIN
    // Windows' table pairs U+0080 with the byte 0x80; ICU's has neither.
    QTest::newRow("first past ASCII") << u"a\u0080"_qs << u"(U+0080)"_qs;
#endif
    QTest::newRow("lone surrogate") << QString(QChar(0xD800)) << u"(U+D800)"_qs;
    QTest::newRow("ends in half a pair") << u"ab"_qs + QChar(0xD83D) << u"(U+D83D)"_qs;
    QTest::newRow("low half first") << u"a"_qs + QChar(0xDE00) + QChar(0xD83D) << u"(U+DE00)"_qs;
}

void TestCp932::refusesWhatItCannotHold()
{
    QFETCH(QString, text);
    QFETCH(QString, shown);
    try {
        Cp932::encode(text, u"製品名"_qs);
        QFAIL("no error raised");
    } catch (const KestrumError &error) {
        QVERIFY2(error.message().startsWith(u"製品名 "_qs), qPrintable(error.message()));
        QVERIFY2(error.message().contains(shown), qPrintable(error.message()));
        QVERIFY(!error.message().contains(u'?'));
    }
}

void TestCp932::decodes()
{
    QCOMPARE(Cp932::decode("\x83\x65\x83\x58\x83\x67 \xB1"), u"テスト ｱ"_qs);
    QCOMPARE(Cp932::decode("\x5C\x7E"), u"\\~"_qs);
    QCOMPARE(Cp932::decode(""), QString());
    QCOMPARE(Cp932::decode("\x83\x65\x1A\x1C\x7F"), u"テ\u001A\u001C\u007F"_qs);
    const QString all = u"①Ⅰ㈱髙ⅰ～ソ表"_qs;
    QCOMPARE(Cp932::decode(Cp932::encode(all, {})), all);
}

void TestCp932::decodeRejectsInvalidBytes()
{
    QCOMPARE(Cp932::decode("abc\x81"), std::nullopt); // lead byte without its trail
    QCOMPARE(Cp932::decode("\x81\x20"), std::nullopt); // not a trail byte
    // 0x80 is U+0080 in Windows' table and nothing in ICU's.
#ifdef Q_OS_WIN
    QCOMPARE(Cp932::decode("a\x80"), u"a\u0080"_qs);
#else
    QCOMPARE(Cp932::decode("a\x80"), std::nullopt);
#endif
}

void TestCp932::leadBytes()
{
    QVERIFY(!Cp932::isLeadByte(0x80));
    QVERIFY(Cp932::isLeadByte(0x81));
    QVERIFY(Cp932::isLeadByte(0x9F));
    QVERIFY(!Cp932::isLeadByte(0xA0));
    QVERIFY(!Cp932::isLeadByte(0xDF));
    QVERIFY(Cp932::isLeadByte(0xE0));
    QVERIFY(Cp932::isLeadByte(0xFC));
    QVERIFY(!Cp932::isLeadByte(0xFD));
}

QTEST_GUILESS_MAIN(TestCp932)
#include "tst_cp932.moc"
