#!/usr/bin/env bash
# Checks what the package ships without building one: the manual pages
# render without a warning and name every command and option that --help
# names, the metainfo validates and agrees with the desktop entry, and the
# desktop entry validates.
#   packaging_test.sh SOURCE-ROOT ARCHIVE-TOOL-CLI [ARCHIVE-TOOL]
set -u
root=$1
cli=$2
window=${3:-}
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
for tool in man appstreamcli desktop-file-validate; do
    command -v $tool >/dev/null || { echo "FAIL: $tool is missing (scripts/install-deps installs it)"; exit 1; }
done

# A page as plain words: roff's escaped hyphens and font changes undone.
page_text() { sed -e 's/\\-/-/g' -e 's/\\f[BIRP]//g' "$1"; }

# Every option (-x, --word) and every command that a --help text names.
help_words() {
    grep -oE '(^|[ ,(\[])--?[A-Za-z][A-Za-z0-9-]*' | sed -E 's/^[ ,(\[]//'
}

check_page() { # page, help text (all of it)
    local page=$1 help=$2 text word status
    text=$(page_text "$page")
    # As lintian reads it: any message from man or groff is a fault.
    status=$(LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z "$page" 2>&1 >/dev/null)
    [ -z "$status" ] || fail "$(basename "$page") renders with messages: $status"
    for section in NAME SYNOPSIS DESCRIPTION OPTIONS "EXIT STATUS" FILES EXAMPLES "SEE ALSO"; do
        grep -qE "^\.SH \"?$section\"?$" "$page" || fail "$(basename "$page") has no $section section"
    done
    for word in $(help_words <<<"$help" | sort -u); do
        grep -qF -- "$word" <<<"$text" || fail "$(basename "$page") does not mention $word, which --help names"
    done
}

# The companion: the main help, each command's help, its commands and exit statuses.
help=$("$cli" --help)
commands=$(sed -n '/^Subcommands:/,/^$/p' <<<"$help" | awk 'NR > 1 && NF { print $1 }')
[ -n "$commands" ] || fail "no command found in archive-tool-cli --help"
all=$help
for command in $commands; do
    all+=$'\n'$("$cli" "$command" --help)
    grep -qE "^\.BI? \"?$command\b" "$root/packaging/man/archive-tool-cli.1" ||
        fail "archive-tool-cli.1 has no entry for the command $command"
done
check_page "$root/packaging/man/archive-tool-cli.1" "$all"
for code in $(grep -oE '(^|[;:] )[0-9] ' <<<"$(sed -n '/^Exit status:/,/^$/p' <<<"$help")" | tr -dc '0-9\n'); do
    sed -n '/^\.SH "EXIT STATUS"/,/^\.SH/p' "$root/packaging/man/archive-tool-cli.1" | grep -qx "\.B $code" ||
        fail "archive-tool-cli.1 gives no meaning to the exit status $code"
done

# The window: its options come from Qt's parser.
if [ -n "$window" ]; then
    check_page "$root/packaging/man/archive-tool.1" "$("$window" --help)"
fi

# The metainfo: valid for software centres, and saying what the desktop entry says.
metainfo=$(ls "$root"/packaging/*.metainfo.xml)
out=$(appstreamcli validate --pedantic --no-net "$metainfo" 2>&1) || fail "appstreamcli: $out"
grep -qE '^[EW]:' <<<"$out" && fail "appstreamcli: $out"
id=$(sed -n 's|.*<id>\(.*\)</id>.*|\1|p' "$metainfo")
[ "$(basename "$metainfo")" = "$id.metainfo.xml" ] || fail "the metainfo's file name is not its id $id"
grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$metainfo" || fail "the launchable is not $id.desktop"
grep -qE "RENAME $id\.desktop\)?$" "$root/src/gui/CMakeLists.txt" || fail "the desktop entry is not installed as $id.desktop"
desktop=$root/src/gui/archive-tool.desktop
types=$(sed -n 's/^MimeType=//p' "$desktop" | tr ';' '\n' | sed '/^$/d' | sort)
[ "$types" = "$(sed -n 's|.*<mediatype>\(.*\)</mediatype>.*|\1|p' "$metainfo" | sort)" ] ||
    fail "the metainfo's media types differ from the desktop entry's"
version=$("$cli" --version | awk '{ print $NF }')
grep -q "<release version=\"$version\"" "$metainfo" || fail "the metainfo has no release $version"
head -n 1 "$root/CHANGELOG" | grep -qF "archive-tool ($version)" || fail "the changelog's first entry is not $version"
out=$(desktop-file-validate "$desktop" 2>&1 | grep -v ': hint: ') && fail "desktop-file-validate: $out"

if [ $failures -eq 0 ]; then echo "packaging: all checks passed"; else echo "packaging: $failures checks failed"; exit 1; fi
