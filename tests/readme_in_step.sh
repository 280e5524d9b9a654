#!/usr/bin/env bash
# Each page keeps in step with its Japanese twin (README.md and README.ja.md,
# docs/DEVELOPING.md and docs/DEVELOPING.ja.md): the same headings at the same
# levels in the same order, the same code blocks (a comment after a command
# may be translated), the same inline code (a <placeholder>'s words may be
# translated), the same ./scripts/ commands, relative link targets and
# pictures, and the same numbers of two or more digits (single digits are
# counters in Japanese: "2 コア", "two cores"). Each links to its twin. Every
# relative link of these four pages, of packaging/windows/README.md and of
# docs/figures/README.md leads to a file of the repository (one git tracks,
# in a git work tree), and a #fragment on a link to a page to one of its
# headings. A link to a Japanese twin (x.ja.md) counts as one to its English
# page (x.md).
# Usage: readme_in_step.sh <source directory>
set -euo pipefail
cd "$1"
status=0
fail() {
    echo "FAIL: $*"
    status=1
}

# grep, where finding nothing is no failure.
matches() { grep "$@" || true; }

# The page's lines outside fenced code blocks.
prose() { awk '/^```/ { code = !code; next } !code' "$1"; }

# The page's fenced code blocks with their fences, a comment after a command
# dropped.
code() { awk '/^```/ { code = !code; print; next } code' "$1" | sed 's/[[:space:]]\+#.*$//'; }

# The inline code of the page's prose, one span a line, a span broken over
# lines joined with one blank, each <placeholder> as <>.
inline_code() {
    prose "$1" | tr '\n' ' ' | matches -o '`[^`]*`' | sed 's/[[:space:]]\+/ /g; s/<[^<>]*>/<>/g' \
        | sort -u
}

# The relative link targets of the page (pictures included), one a line, as
# paths from the source directory, with their #fragments.
links_with_fragments() {
    local folder target fragment
    folder=$(dirname "$1")
    matches -o '\]([^) ]*' "$1" | cut -c3- | matches -v '^[a-z][a-z0-9+.-]*:\|^#\|^$' \
        | while read -r target; do
            fragment=
            [[ $target != *#* ]] || fragment=#${target#*#}
            echo "$(realpath -ms --relative-to=. "$folder/${target%%#*}")$fragment"
        done
}

# The same without the fragments.
links() { links_with_fragments "$1" | sed 's/#.*//'; }

# The picture targets of the page, as paths from the source directory.
pictures() {
    local folder target
    folder=$(dirname "$1")
    matches -o '!\[[^]]*\]([^) ]*' "$1" | sed 's/.*](//' | while read -r target; do
        realpath -ms --relative-to=. "$folder/$target"
    done | sort -u
}

# The fragments the page's headings get, as GitHub makes them: lower case,
# blanks as hyphens, other punctuation dropped.
anchors() {
    prose "$1" | matches '^#\+ ' | sed 's/^#* *//' | tr '[:upper:]' '[:lower:]' \
        | sed 's/[^[:alnum:] _-]//g; s/ /-/g'
}

# What the two pages must agree on.
outline() {
    echo "headings:"
    prose "$1" | matches -o '^#\+ ' | tr -d ' ' | paste -sd ' '
    echo "code blocks:"
    code "$1"
    echo "inline code:"
    inline_code "$1"
    echo "commands:"
    matches -o 'scripts/[a-z-]\+' "$1" | sort -u
    echo "links:"
    links "$1" | sed 's/\.ja\.md$/.md/' | sort -u
    echo "pictures:"
    pictures "$1"
    echo "numbers of two or more digits:"
    matches -o '[0-9]\+\(,[0-9][0-9][0-9]\)*' "$1" | tr -d , | matches '..' | sort -u
    echo "end"
}

for english in README.md docs/DEVELOPING.md; do
    japanese=${english%.md}.ja.md
    for page in "$english" "$japanese"; do
        [ -f "$page" ] || { fail "$page is missing"; continue 2; }
    done
    ours=$(outline "$english") && theirs=$(outline "$japanese") && [ "${ours##*$'\n'}" = end ] \
        && [ "${theirs##*$'\n'}" = end ] || { fail "cannot read $english or $japanese"; continue; }
    diff -u --label "$english" --label "$japanese" <(echo "$ours") <(echo "$theirs") \
        || fail "$japanese is not in step with $english (above)"
    links "$english" | grep -xF "$japanese" >/dev/null || fail "$english does not link to $japanese"
    links "$japanese" | grep -xF "$english" >/dev/null || fail "$japanese does not link to $english"
done

# The repository's files: those git tracks, or, outside a git work tree (an
# unpacked source archive), those on disk.
if [ "$(git rev-parse --show-toplevel 2>/dev/null)" = "$(pwd -P)" ]; then
    tracked=$(git ls-files)
else
    tracked=$(find . -type f -not -path './build/*' | cut -c3-)
fi
for page in README.md README.ja.md docs/DEVELOPING.md docs/DEVELOPING.ja.md \
    packaging/windows/README.md docs/figures/README.md; do
    [ -f "$page" ] || { fail "$page is missing"; continue; }
    while read -r link; do
        path=${link%%#*}
        if [[ $path == ../* || $path == .. ]]; then
            fail "$page links to $path, outside the repository"
        elif ! grep -xF "$path" <<<"$tracked" >/dev/null; then
            fail "$page links to $path, which is not a file of the repository"
        elif [[ $link == *#* && $path == *.md ]] \
            && ! anchors "$path" | grep -xF "${link#*#}" >/dev/null; then
            fail "$page links to $link, but $path has no heading ${link#*#}"
        fi
    done < <(links_with_fragments "$page" | sort -u)
done
[ "$status" -ne 0 ] \
    || echo "ok: README.md and docs/DEVELOPING.md in step with their Japanese twins;" \
            "every link leads to a file of the repository"
exit "$status"
