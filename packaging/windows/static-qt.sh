#!/usr/bin/env bash
# Makes sure a static Qt for Windows (Core, Gui, Widgets, Test; mingw-w64) is
# in the cache and prints its prefix. It is built once from Debian's source
# package of the machine's Qt (about half an hour on two cores), reproducibly
# (build paths mapped to /qt, times from the package's changelog), and built
# anew when this recipe, qt.patch, the toolchain file, exetool/qtsource.py or a
# package marked "qt" in packages.txt changes. The prefix gets its stamp last,
# so a half-built Qt is never used.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)

# The recipe. The source package lacks the Wintab headers (tablet input), and
# Direct2D is not needed. Kestrum.exe links Qt statically, so everything Qt
# would link in without the program ever reaching it is left out, as measured
# on the linker map of Kestrum.exe (exetool size); what stays is what the
# program or the windowsvista style needs (qt.patch keeps that style from
# reaching for the item views that are left out).
options=(-static -static-runtime -release
         # No install prefix compiled in: a static Qt finds itself beside the
         # program, and no path of the machine that built it is kept.
         -feature-relocatable
         # No code is ever loaded from disk: plugins are linked in, and a
         # plugin folder or DLL planted beside Kestrum.exe is never looked at.
         -no-feature-library
         # Smaller code throughout; the start-up is no slower for it.
         -optimize-size
         -no-dbus -no-opengl -no-icu -no-openssl -no-feature-vulkan
         -no-feature-tabletevent -no-feature-direct2d
         -no-feature-network -no-feature-sql -no-feature-xml -no-feature-concurrent
         -no-feature-printsupport
         -no-zstd -no-libjpeg -qt-zlib -qt-libpng -qt-pcre -qt-doubleconversion
         # Windows draws and shapes text itself (GDI and DirectWrite).
         -no-freetype -no-harfbuzz
         # Qt Core: the MIME database, XML, file watching, item models,
         # regular expressions, settings files, other calendars and time
         # zones, date parsing, gestures, the large SHA-3.
         -no-feature-mimetype -no-feature-xmlstream -no-feature-filesystemwatcher
         -no-feature-itemmodel -no-feature-regularexpression -no-feature-settings
         -no-feature-jalalicalendar -no-feature-hijricalendar -no-feature-timezone
         -no-feature-datetimeparser -no-feature-gestures -no-feature-sha3-fast
         # Qt Gui: rich text beyond plain lines, Markdown, ODF, CSS, movies,
         # pictures, image formats the pictures do not use, 64-bit and
         # floating-point painting, the tray icon, session management.
         -no-feature-textodfwriter -no-feature-textmarkdownreader -no-feature-textmarkdownwriter
         -no-feature-texthtmlparser -no-feature-cssparser -no-feature-movie -no-feature-picture
         -no-feature-desktopservices -no-feature-whatsthis -no-feature-gif -no-feature-ico
         -no-feature-imageformat_ppm -no-feature-imageformat_xbm
         -no-feature-raster-64bit -no-feature-raster-fp -no-feature-systemtrayicon
         -no-feature-sessionmanager
         # Qt Widgets: other styles, style sheets, graphics view and the widgets
         # and dialogs the program never shows.
         -no-feature-style-fusion -no-feature-style-stylesheet -no-feature-graphicsview
         -no-feature-dockwidget -no-feature-mdiarea -no-feature-splitter -no-feature-scroller
         -no-feature-calendarwidget -no-feature-lcdnumber -no-feature-statusbar
         -no-feature-progressbar -no-feature-sizegrip -no-feature-rubberband -no-feature-toolbox
         -no-feature-columnview -no-feature-datawidgetmapper -no-feature-completer
         -no-feature-filedialog -no-feature-fontdialog -no-feature-errormessage
         -no-feature-colordialog -no-feature-progressdialog -no-feature-wizard
         -no-feature-keysequenceedit -no-feature-commandlinkbutton -no-feature-splashscreen
         -no-feature-dial -no-feature-toolbar -no-feature-spinbox
         -no-feature-textedit
         -nomake examples -nomake tests)

version=$(dpkg-query -W -f='${Version}' qt6-base-dev-tools)
upstream=${version%%+*}
cache=${XDG_CACHE_HOME:-$HOME/.cache}/kestrum
prefix=$cache/qt-$upstream-mingw-static
mapfile -t toolchain < <(sed -n 's/^\([a-z0-9][^ #]*\) *qt$/\1/p' "$here/packages.txt")
recipe=$( (dpkg-query -W -f='${Package} ${Version}\n' "${toolchain[@]}"
           cat "$0" "$here/qt.patch" "$here/mingw-w64.cmake" "$here/exetool/qtsource.py") \
         | sha256sum | cut -c1-16)

if [ "$(cat "$prefix/recipe" 2>/dev/null)" = "$recipe" ]; then
    echo "$prefix"
    exit 0
fi

work=$cache/qt-work
fail() {
    echo "packaging/windows/static-qt.sh: $1 failed; $2" >&2
    echo "The log is in $work/log; no Qt is left in the cache, so the next run starts over." >&2
    exit 1
}
exec 3>&1 # the prefix is the only thing printed on stdout
exec 1>&2
echo "Building Qt $version for Windows into $prefix (once; about half an hour)"
rm -rf "$work" "$prefix" "$prefix.partial"
mkdir -p "$work/apt/lists/partial" "$work/apt/archives/partial" "$work/apt/sources.list.d"

# Debian's source entries for the machine's own package sources, in an apt
# state of our own so that the machine's apt configuration is not touched.
for list in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
    [ -f "$list" ] && sed -n 's/^[[:space:]]*deb[[:space:]]/deb-src /p' "$list"
done >"$work/apt/sources.list"
for sources in /etc/apt/sources.list.d/*.sources; do
    [ -f "$sources" ] && sed 's/^Types:.*/Types: deb-src/' "$sources" \
        >"$work/apt/sources.list.d/$(basename "$sources")"
done
apt=(-o "Dir::Etc::SourceList=$work/apt/sources.list"
     -o "Dir::Etc::SourceParts=$work/apt/sources.list.d"
     -o "Dir::State::Lists=$work/apt/lists"
     -o "Dir::Cache::Archives=$work/apt/archives"
     -o "APT::Sandbox::User=$(id -un)")
apt-get "${apt[@]}" -qq update >"$work/log" 2>&1 \
    || fail "Reading the source package lists" "check the network and the apt sources in /etc/apt."
(cd "$work" && apt-get "${apt[@]}" -qq source "qt6-base=$version") >>"$work/log" 2>&1 \
    || fail "Downloading the source of qt6-base $version" "check the network, then run this again."
# Where it came from, for the download's bill of materials.
dsc=$(apt-get "${apt[@]}" -qq --print-uris source "qt6-base=$version" 2>>"$work/log" \
      | sed -n "s/^'\([^']*\.dsc\)' .*/\1/p") && [ -n "$dsc" ] \
    || fail "Finding where the source of qt6-base $version came from" "see the log."
src=$(find "$work" -mindepth 1 -maxdepth 1 -type d -name "qt6-base-$upstream*")
[ -n "$src" ] || fail "Unpacking the source" "see the log."
(cd "$src" && patch -p1 --forward --no-backup-if-mismatch) <"$here/qt.patch" >>"$work/log" 2>&1 \
    || fail "Applying qt.patch" "a part of it does not fit this Qt (see the log); update the patch."

# Reproducible: source and build paths are recorded as /qt/..., and every
# time the build would record (rcc's file times, __DATE__) is the date of the
# source package's last changelog entry.
export CFLAGS="-ffile-prefix-map=$work=/qt" CXXFLAGS="-ffile-prefix-map=$work=/qt"
SOURCE_DATE_EPOCH=$(dpkg-parsechangelog -l "$src/debian/changelog" -STimestamp) \
    || fail "Reading the source package's date" "see $src/debian/changelog."
export SOURCE_DATE_EPOCH QT_RCC_SOURCE_DATE_OVERRIDE=$SOURCE_DATE_EPOCH

mkdir -p "$work/build"
(cd "$work/build" && "$src/configure" -prefix "$prefix.partial" -qt-host-path /usr "${options[@]}" \
    -- -G Ninja -DCMAKE_TOOLCHAIN_FILE="$here/mingw-w64.cmake" \
    -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake) >>"$work/log" 2>&1 \
    || fail "Configuring Qt" "see the log."
cmake --build "$work/build" --parallel "$(nproc)" >>"$work/log" 2>&1 \
    || fail "Building Qt" "see the log."
cmake --install "$work/build" >>"$work/log" 2>&1 || fail "Installing Qt" "see the log."
# What Kestrum.exe's third-party notices and bill of materials are made from,
# kept with this Qt.
python3 "$here/exetool/qtsource.py" "$src" "$work/build" "$prefix.partial/notices" "$dsc" \
    >>"$work/log" 2>&1 \
    || fail "Collecting the licences of Qt and of the libraries it bundles" "see the log."

echo "$recipe" >"$prefix.partial/recipe"
mv "$prefix.partial" "$prefix"
rm -rf "$work"
echo "$prefix" >&3
