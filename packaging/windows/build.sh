#!/usr/bin/env bash
# Usage: scripts/windows [targets]: builds build/windows/Kestrum.exe, or the targets named,
# against the static Qt that static-qt.sh builds once into the cache (README.md, "Build").
set -euo pipefail
cd "$(dirname "$0")/../.."

scripts/deps windows
qt=$(packaging/windows/static-qt.sh)
# CMake keeps the paths of the Qt it first found; another Qt needs a fresh configuration.
found=$(sed -n 's/^Qt6_DIR:PATH=//p' build/windows/CMakeCache.txt 2>/dev/null || true)
fresh=()
[ -z "$found" ] || [ "$found" = "$qt/lib/cmake/Qt6" ] || fresh=(--fresh)
cmake --preset windows "${fresh[@]}" -DKESTRUM_WINDOWS_QT="$qt" >/dev/null
cmake --build --preset windows -j "$(nproc)" --target "${@:-Kestrum}"
echo "Built build/windows/Kestrum.exe"
