#!/usr/bin/env bash
# Drives the shell completion of archive-tool-cli as the shells would: bash
# through its completion function, fish through `complete -C`; zsh's script
# is only parsed (its completion needs a terminal).
#   completion_test.sh SOURCE-ROOT ARCHIVE-TOOL-CLI MAKE-SAMPLES
set -u
root=$1
cli=$(readlink -f "$2")
make_samples=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
check() { # description, expected, actual
    if [ "$2" != "$3" ]; then
        echo "FAIL: $1"; echo "  expected: $(printf %q "$2")"; echo "  actual:   $(printf %q "$3")"
        failures=$((failures + 1))
    fi
}
"$make_samples" "$work" >/dev/null || exit 1
cd "$work" || exit 1
mkdir folder
cp sample.sga SAMPLE.GRM
cp sample-sv1.big no-extension # an archive by its first bytes only
printf 'not an archive' >notes.txt
mkfifo pipe # must not be opened: it would wait for a writer

# bash: the words of a line, the cursor at the end of the last one.
source "$root/packaging/completion/archive-tool-cli.bash"
complete_bash() {
    COMP_WORDS=("$cli" "$@")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    COMPREPLY=()
    _archive_tool_cli
    printf '%s\n' "${COMPREPLY[@]}" | sort | tr '\n' ' ' | sed 's/ $//'
}
check "bash: commands" "extract info list test" "$(complete_bash '')"
check "bash: a command by its start" "list" "$(complete_bash li)"
check "bash: options before a command" "--debug --help --version" "$(complete_bash -)"
check "bash: list's options" "--help --json --long --tsv" "$(complete_bash --debug list -)"
check "bash: extract's options" "--help --key --to -C" "$(complete_bash extract -)"
check "bash: archives by extension and by content, and folders" \
    "SAMPLE.GRM folder/ no-extension sample-sv1.big sample.sga" "$(complete_bash info '')" # the FIFO would hang it
check "bash: the archive after an option's value" "sample-sv1.big sample.sga" "$(complete_bash extract -C folder sa)"
check "bash: -C takes a folder" "folder" "$(complete_bash extract -C fo)"
# Keys hold backslashes: typed escaped, offered escaped.
check "bash: keys from the archive on the line" 'n-1\\f0' "$(complete_bash extract sample.sga --key 'n-1\\')"
check "bash: keys after other selections" 'n0 n0\\f1' "$(complete_bash extract --key n2 ./sample.sga maps --key n0)"
check "bash: no keys without an archive" "" "$(complete_bash extract --key n)"
check "bash: nothing from the file system after the archive" "" "$(complete_bash list sample.sga s)"

if command -v fish >/dev/null; then
    complete_fish() {
        fish --no-config -c "source $root/packaging/completion/archive-tool-cli.fish; complete -C '$1'" |
            cut -f 1 | sort | tr '\n' ' ' | sed 's/ $//'
    }
    check "fish: commands" "extract info list test" "$(complete_fish "archive-tool-cli ")"
    check "fish: archives by extension and by content, and folders" \
        "SAMPLE.GRM folder/ no-extension sample-sv1.big sample.sga" "$(complete_fish "archive-tool-cli info ")"
    check "fish: list's options" "--help --json --long --tsv" "$(complete_fish "archive-tool-cli list --")"
    check "fish: keys from the archive on the line" 'n-1 n-1\f0' \
        "$(complete_fish "$cli extract sample.sga --key n-1")"
else
    echo "fish is not installed: its completion is not tried"
fi
if command -v zsh >/dev/null; then
    zsh -n "$root/packaging/completion/_archive-tool-cli" || { echo "FAIL: zsh cannot parse its completion"; failures=$((failures + 1)); }
fi

if [ $failures -eq 0 ]; then echo "completion: all checks passed"; else echo "completion: $failures checks failed"; exit 1; fi
