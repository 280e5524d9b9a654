<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<!--
The texts Qt itself draws in Kestrum's windows, in Japanese; nothing else
that Qt could say is kept, so the catalogue built into the program stays a
few kilobytes. Each translation is Qt's own Japanese catalogue's
(qtbase_ja.qm), except where marked "Windows": there it is what Japanese
Windows' edit control and message box say, with their access keys.
tests/tst_toolkittexts.cpp checks each against the installed catalogue.
-->
<TS version="2.1" language="ja_JP">
<context>
    <name>QLineEdit</name>
    <!-- The edits' context menu. -->
    <message>
        <source>&amp;Undo</source>
        <translation>元に戻す(&amp;U)</translation>
    </message>
    <message>
        <source>&amp;Redo</source>
        <translation>やり直す(&amp;R)</translation>
    </message>
    <message>
        <source>Cu&amp;t</source>
        <translation>切り取り(&amp;T)</translation>
    </message>
    <message>
        <source>&amp;Copy</source>
        <translation>コピー(&amp;C)</translation>
    </message>
    <message>
        <source>&amp;Paste</source>
        <translation>貼り付け(&amp;P)</translation>
    </message>
    <message>
        <source>Delete</source>
        <translatorcomment>Windows</translatorcomment>
        <translation>削除(&amp;D)</translation>
    </message>
    <message>
        <source>Select All</source>
        <translatorcomment>Windows</translatorcomment>
        <translation>すべて選択(&amp;A)</translation>
    </message>
</context>
<context>
    <name>QShortcut</name>
    <!-- The key names in the context menus' shortcut hints (Ctrl+Z, Ctrl+Shift+Z). -->
    <message>
        <source>Ctrl</source>
        <translation>Ctrl</translation>
    </message>
    <message>
        <source>Shift</source>
        <translation>Shift</translation>
    </message>
    <message>
        <source>+</source>
        <translation>+</translation>
    </message>
</context>
<context>
    <name>QPlatformTheme</name>
    <!-- The one button of the information and exception boxes. -->
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
</context>
<context>
    <name>QGnomeTheme</name>
    <!-- The same button where Qt takes GNOME's texts. -->
    <message>
        <source>&amp;OK</source>
        <translatorcomment>Windows</translatorcomment>
        <translation>OK</translation>
    </message>
</context>
<context>
    <name>QUnicodeControlCharacterMenu</name>
    <!-- The edits' submenu where a right-to-left keyboard layout is installed. -->
    <message>
        <source>Insert Unicode control character</source>
        <translatorcomment>Windows</translatorcomment>
        <translation>Unicode 制御文字の挿入(&amp;I)</translation>
    </message>
    <message>
        <source>LRM Left-to-right mark</source>
        <translation>LRM(Left-to-right mark)</translation>
    </message>
    <message>
        <source>RLM Right-to-left mark</source>
        <translation>RLM(Right-to-left mark)</translation>
    </message>
    <message>
        <source>ZWJ Zero width joiner</source>
        <translation>ZWJ(幅0の接続文字)</translation>
    </message>
    <message>
        <source>ZWNJ Zero width non-joiner</source>
        <translation>ZWNJ(幅0の非接続文字)</translation>
    </message>
    <message>
        <source>ZWSP Zero width space</source>
        <translation>ZWSP(幅0の空白)</translation>
    </message>
    <message>
        <source>LRE Start of left-to-right embedding</source>
        <translation>LRE(Start of left-to-right embedding)</translation>
    </message>
    <message>
        <source>RLE Start of right-to-left embedding</source>
        <translation>RLE(Start of right-to-left embedding)</translation>
    </message>
    <message>
        <source>LRO Start of left-to-right override</source>
        <translation>LRO(Start of left-to-right override)</translation>
    </message>
    <message>
        <source>RLO Start of right-to-left override</source>
        <translation>RLO(Start of right-to-left override)</translation>
    </message>
    <message>
        <source>PDF Pop directional formatting</source>
        <translation>PDF(Pop directional formatting)</translation>
    </message>
    <message>
        <source>LRI Left-to-right isolate</source>
        <translation>LRI(Left-to-right isolate)</translation>
    </message>
    <message>
        <source>RLI Right-to-left isolate</source>
        <translation>RLI(Right-to-left isolate)</translation>
    </message>
    <message>
        <source>FSI First strong isolate</source>
        <translation>FSI(First strong isolate)</translation>
    </message>
    <message>
        <source>PDI Pop directional isolate</source>
        <translation>PDI(Pop directional isolate)</translation>
    </message>
</context>
</TS>
