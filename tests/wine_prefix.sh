#!/usr/bin/env bash
# Prepares the Wine prefix the tests share ($WINEPREFIX): created on first use,
# brought up to date with the installed Wine, and with the Japanese UI font
# names of Windows ("MS UI Gothic" and friends) mapped to the installed IPA
# Gothic, since a fresh prefix has none of them.
set -euo pipefail
: "${WINEPREFIX:?WINEPREFIX must name the prefix}"
command -v wine >/dev/null || { echo "FAIL: wine is not installed"; exit 1; }
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY

mkdir -p "$(dirname "$WINEPREFIX")"
wine wineboot -i >/dev/null 2>&1 || { echo "FAIL: wineboot could not make $WINEPREFIX"; exit 1; }
for font in "MS UI Gothic" "MS Gothic" "MS PGothic" "ＭＳ ゴシック" "ＭＳ Ｐゴシック" "Meiryo UI"; do
    wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v "$font" /d IPAPGothic /f >/dev/null 2>&1
done
wineserver -w
echo "Wine prefix ready: $WINEPREFIX"
