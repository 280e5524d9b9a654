#!/usr/bin/env bash
# Plants, as an attacker who can write into a Downloads folder would, code for
# Kestrum.exe to load: for every DLL it imports, directly or on first use, that
# is not one of Windows' KnownDLLs, a DLL of that name exporting the same
# functions; a platform and a style plugin in the folders Qt once searched;
# and a qt.conf handing the platform plugin an argument. Every planted DLL
# writes <its path>.loaded when something loads it. Prints the planted DLLs'
# names, comma-separated, for WINEDLLOVERRIDES: under Wine, "name=n,b" makes
# the loader search for them as Windows does, the program's folder first.
#
# Left out of that list, though planted: what Wine's own user32 takes for
# itself while it starts, before main() runs. It imports VERSION and loads
# UxTheme through the plain search path, so under Wine they would come from
# the program's folder whatever the program does. On Windows user32 is a
# KnownDLL, which neither imports VERSION nor searches the program's folder;
# there only the program's own imports could take them, and the release
# gate's check of the import tables covers those.
#
# Wine applies neither DependentLoadFlags nor the KnownDLLs, so this test
# cannot show those two at work; the release gate's checks of the headers
# stand in for them.
# Usage: plant-dlls.sh <Kestrum.exe> <folder>...
set -euo pipefail
exe=$1
shift
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cat >"$work/planted.c" <<'EOF'
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID reserved)
{
    static wchar_t path[32768];
    (void)reserved;
    if (reason == DLL_PROCESS_ATTACH) {
        DWORD length = GetModuleFileNameW(self, path, 32760);
        lstrcpyW(path + length, L".loaded");
        CloseHandle(CreateFileW(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL));
    }
    return TRUE;
}

int planted(void)
{
    return 0;
}
EOF

# "<dll> <function>" for every function the exe imports, directly or not.
python3 "$here/exetool" imports "$exe" >"$work/imports"
known=$(grep -v '^#' "$here/known-dlls.txt")
wine_own="version.dll uxtheme.dll"
names=()
searched=()
for dll in $(cut -d' ' -f1 "$work/imports" | sort -u); do
    grep -qx "$dll" <<<"$known" && continue
    [[ $dll == api-ms-win-* ]] && continue
    { echo "LIBRARY \"$dll\""; echo EXPORTS
      awk -v dll="$dll" '$1 == dll { print $2 "=planted" }' "$work/imports"; } >"$work/${dll%.dll}.def"
    x86_64-w64-mingw32-gcc-posix -shared -O2 -o "$work/$dll" "$work/planted.c" "$work/${dll%.dll}.def"
    names+=("${dll%.dll}")
    [[ " $wine_own " == *" $dll "* ]] || searched+=("${dll%.dll}")
done
x86_64-w64-mingw32-gcc-posix -shared -O2 -o "$work/plugin.dll" "$work/planted.c"

for folder in "$@"; do
    mkdir -p "$folder/platforms" "$folder/styles"
    for name in "${names[@]}"; do cp "$work/$name.dll" "$folder/"; done
    cp "$work/plugin.dll" "$folder/platforms/qwindows.dll"
    cp "$work/plugin.dll" "$folder/styles/qwindowsvistastyle.dll"
    printf '[Platforms]\r\nWindowsArguments=planted-by-a-test\r\n' >"$folder/qt.conf"
done
(IFS=,; echo "${searched[*]}")
