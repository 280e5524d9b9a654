#!/usr/bin/env bash
# README.ja.md keeps in step with README.md: the same sections at the same
# levels in the same order, the same scripts named, the same pictures shown,
# and each links to the other.
# Usage: readme_in_step.sh <source directory>
set -euo pipefail
cd "$1"

outline() {
    grep -o '^#\+ ' "$1" | tr -d ' ' | paste -sd ' '
    grep -o 'scripts/[a-z-]*\|docs/[a-z0-9-]*\.png' "$1" | sort -u
}
diff -u <(outline README.md) <(outline README.ja.md) || { echo "FAIL: README.ja.md is not in step"; exit 1; }
grep -q '(README\.ja\.md)' README.md && grep -q '(README\.md)' README.ja.md \
    || { echo "FAIL: the two read-mes do not link to each other"; exit 1; }
echo "ok: README.md and README.ja.md in step"
