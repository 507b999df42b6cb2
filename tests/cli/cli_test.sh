#!/usr/bin/env bash
# Runs the console companion for real on archives made by the test builders.
set -u
cli=$1
make_samples=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
check() { # description, expected, actual
    if [ "$2" != "$3" ]; then
        echo "FAIL: $1"; echo "  expected: $(printf %q "$2")"; echo "  actual:   $(printf %q "$3")"
        failures=$((failures + 1))
    fi
}

"$make_samples" "$work" || exit 1
cd "$work" || exit 1

check "--version" "archive-tool-cli 1.6.0" "$("$cli" --version)"
"$cli" --help | grep -q "Exit status" || { echo "FAIL: --help"; failures=$((failures + 1)); }
"$cli" >/dev/null 2>&1; check "no command is a usage error" 1 $?
"$cli" info >/dev/null 2>&1; check "missing archive is a usage error" 1 $?
"$cli" --debug lsit sample.sga >/dev/null 2>err.txt; check "an unknown command is a usage error" 1 $?
check "an unknown command is named as one" "Unknown command: lsit (the commands are info, list, extract and test)" \
    "$(head -n 1 err.txt)"

out=$("$cli" info sample.sga); status=$?
check "info status" 0 $status
check "info first line" "Identifier=_ARCHIVE" "$(head -n 1 <<<"$out")"
check "info line count (the last, empty line aside)" 20 "$(wc -l <<<"$out")"
check "info has LF line ends only" 0 "$(printf '%s' "$out" | tr -cd '\r' | wc -c)"

check "list outline" "Data
  maps
    town
      plan.dat
    index.txt
  art
    logo.tga
  sounds
  readme.txt" "$("$cli" list sample.sga)"
check "list tsv row" "$(printf '3\tn1\tn0\ttown')" "$("$cli" list --tsv sample.sga | sed -n 3p)"

"$cli" --debug info sample.sga >/dev/null
check "debug file written with CR LF" "$(printf 'ID\tOff\t1stDir\tNxtDir\t1stFil\tNxtFil\r')" "$(head -n 1 sample.sga.debug.txt)"

printf 'hello, no archive here' > text.txt
"$cli" info text.txt >out.txt 2>err.txt; status=$?
check "rejected status" 2 $status
check "rejected message on stderr" "Invalid Archive File" "$(cat err.txt)"
check "nothing on stdout when rejected" "" "$(cat out.txt)"
"$cli" info missing.sga >/dev/null 2>&1; check "missing file status" 2 $?
mkfifo fifo.sga # with no writer: opening it for reading would wait forever
timeout 10 "$cli" info fifo.sga >/dev/null 2>err.txt; check "a FIFO is refused at once" 2 $?
check "FIFO message" "Cannot open $work/fifo.sga: not a regular file (a FIFO)" "$(cat err.txt)"

head -c 300 sample.sga > cut.sga
"$cli" info cut.sga >out.txt 2>err.txt; status=$?
check "truncated status" 2 $status
grep -q "^Load failed: the file ends inside " err.txt || { echo "FAIL: truncated message"; failures=$((failures + 1)); }
check "truncated stdout keeps the lines made so far" "Identifier=_ARCHIVE" "$(head -n 1 out.txt)"

out=$("$cli" extract -C outdir sample.sga 2>err.txt); status=$?
check "extract all status" 0 $status
# One summary, last on standard output; standard error only for what failed.
check "extract all: nothing on stderr" "" "$(cat err.txt)"
check "extract all ends with its one summary" "...Extract finished
4 files written, 0 failed" "$(tail -n 2 <<<"$out")"
check "extracted file" "town
forest" "$(cat outdir/data/maps/index.txt)"
[ -f outdir/data/maps/town/plan.dat ] || { echo "FAIL: plan.dat missing"; failures=$((failures + 1)); }

out=$("$cli" extract -C sel sample.sga maps/town/plan.dat --key 'n-1\f0' 2>err.txt); status=$?
check "extract selected status" 0 $status
check "extract selected lines" "Creating directory: .\\data
536: readme.txt
607: maps\\town\\plan.dat
Extracted 2 files (6549 bytes) to $work/sel/data" "$out"
check "extract selected: the log's last line is the only summary" "" "$(cat err.txt)"
[ -f sel/data/readme.txt ] || { echo "FAIL: readme.txt by key missing"; failures=$((failures + 1)); }
"$cli" extract -C sel sample.sga no/such/file >/dev/null 2>&1; check "unknown path is a usage error" 1 $?
# Archive paths are Windows paths: letter case does not matter.
"$cli" extract -C case sample.sga MAPS/Town/Plan.DAT >out.txt 2>err.txt; status=$?
check "a path in other letter case status" 0 $status
check "one file is one file" "Extracted 1 file" "$(tail -n 1 out.txt | sed 's/ (.*//')"
[ -f case/data/maps/town/plan.dat ] || { echo "FAIL: plan.dat by other letter case missing"; failures=$((failures + 1)); }

# A folder PATH takes every file below it; several selections each do their part.
"$cli" extract -C folder sample.sga maps >out.txt 2>err.txt; status=$?
check "folder status" 0 $status
check "folder summary" "Extracted 2 files" "$(tail -n 1 out.txt | sed 's/ (.*//')"
check "folder file below a subfolder" "town
forest" "$(cat folder/data/maps/index.txt)"
[ -f folder/data/maps/town/plan.dat ] || { echo "FAIL: folder plan.dat missing"; failures=$((failures + 1)); }
"$cli" extract -C several sample.sga art --key 'n-1\f0' --key n1 maps/index.txt >out.txt 2>err.txt
check "several selections" "Extracted 4 files" "$(tail -n 1 out.txt | sed 's/ (.*//')"
"$cli" extract -C empty sample.sga sounds >out.txt 2>err.txt; status=$?
check "empty folder status" 0 $status
check "empty folder summary" "Extracted 0 files" "$(tail -n 1 out.txt | sed 's/ (.*//')"

# A damaged stream: an "Error: " line naming it with zlib's status, and the summary names it.
cp sample.sga damaged.sga
offset=$(LC_ALL=C grep -obUaP '\x78\x9c' damaged.sga | head -n 1 | cut -d: -f1)
printf '\377\377' | dd of=damaged.sga bs=1 seek=$((offset + 2)) conv=notrunc 2>/dev/null
"$cli" extract -C damaged damaged.sga >out.txt 2>err.txt; status=$?
check "damaged status" 3 $status
check "damaged error line" "Error: maps\town\plan.dat failed to inflate: zlib status -3, data error: the stream is damaged" \
    "$(head -n 1 err.txt | sed 's/; written.*//')"
check "damaged: stderr has the failure alone" 1 "$(wc -l <err.txt)"
check "damaged: the summary counts it, once" "...Extract finished
3 files written, 1 failed" "$(tail -n 2 out.txt)"
# Run again over a good copy: the damaged entry leaves it, and says so.
printf 'good copy' >damaged/data/maps/town/plan.dat
"$cli" extract -C damaged damaged.sga >out.txt 2>err.txt; status=$?
check "damaged over a good file status" 3 $status
check "damaged entry keeps a good file" "good copy" "$(cat damaged/data/maps/town/plan.dat)"
check "damaged entry says it kept the file" "the file already there was kept" "$(head -n 1 err.txt | sed 's/.*; //')"
check "the count follows the last line" "...Extract finished
3 files written, 1 failed" "$(tail -n 2 out.txt)"

# Files that are there: replaced by default and with --overwrite, kept with --skip-existing.
printf 'mine' >outdir/data/maps/index.txt
"$cli" extract -C outdir --skip-existing sample.sga >out.txt 2>err.txt; status=$?
check "--skip-existing status" 0 $status
check "--skip-existing keeps the file" "mine" "$(cat outdir/data/maps/index.txt)"
check "--skip-existing summary" "0 files written, 0 failed; 4 skipped: a file of that name was there" "$(tail -n 1 out.txt)"
"$cli" extract --to "$work/dest2" --skip-existing sample.sga maps/index.txt >/dev/null 2>&1
printf 'mine' >dest2/maps/index.txt
"$cli" extract --to "$work/dest2" --skip-existing sample.sga maps/index.txt >/dev/null 2>&1
check "--skip-existing with --to keeps the file" "mine" "$(cat dest2/maps/index.txt)"
"$cli" extract -C outdir --overwrite sample.sga >/dev/null 2>&1; check "--overwrite status" 0 $?
check "--overwrite replaces the file" "town
forest" "$(cat outdir/data/maps/index.txt)"
"$cli" extract --skip-existing --overwrite sample.sga >/dev/null 2>&1; check "both choices are a usage error" 1 $?
"$cli" extract --help | grep -q -- "--skip-existing" || { echo "FAIL: --help names --skip-existing"; failures=$((failures + 1)); }

# A folder and a file inside it, through the set extraction: the data layout stays the default.
"$cli" extract -C setdir sample.sga maps maps/town/plan.dat >out.txt 2>err.txt; status=$?
check "folder selection status" 0 $status
check "folder selection summary" "Extracted 2 files" "$(tail -n 1 out.txt | sed 's/ (.*//')"
check "folder selection layout" "setdir/data/maps/index.txt
setdir/data/maps/town/plan.dat" "$(find setdir -type f | sort)"
out=$("$cli" extract --to "$work/dest" sample.sga art 2>/dev/null); status=$?
check "--to status" 0 $status
check "--to end line" "Extracted 1 file (512 bytes) to $work/dest" "$(tail -n 1 <<<"$out")"
[ -f dest/art/logo.tga ] && [ ! -e dest/data ] || { echo "FAIL: --to layout"; failures=$((failures + 1)); }
"$cli" extract --to dest -C x sample.sga >/dev/null 2>&1; check "--to with -C is a usage error" 1 $?

out=$("$cli" test sample.sga 2>err.txt); status=$?
check "test sound status" 0 $status
check "test sound summary" "Tested 4 entries, 7073 bytes: no failures" "$out"
check "test sound stderr" "" "$(cat err.txt)"
"$make_samples" "$work/made" damaged >/dev/null
out=$("$cli" test made/damaged.sga 2>err.txt); status=$?
check "test damaged status" 3 $status
check "test damaged summary" "Tested 3 entries, 8 bytes: 2 failed" "$out"
check "test damaged failures" "Error: broken.bin failed to inflate: zlib status -3, data error: the stream is damaged
Error: maps\\short.bin inflates to 5 bytes, not the 50 bytes the table gives" "$(cat err.txt)"
"$cli" test sample-sv1.big >/dev/null 2>&1; check "test refuses RBF" 2 $?

check "list --long header" "        Size       Packed  Ratio       Offset  Path" "$("$cli" list --long sample.sga | head -n 1)"
check "list --long: a header, four files, the totals" 6 "$("$cli" list --long sample.sga | wc -l)"
check "list --long of a rejected file prints nothing" "" "$("$cli" list --long text.txt 2>/dev/null)"
json=$("$cli" list --json sample.sga)
check "list --json is one document with a line per node" 11 "$(wc -l <<<"$json")"
if command -v python3 >/dev/null; then
    check "list --json parses" "9 4 n-1" "$(python3 -c 'import json, sys
d = json.load(sys.stdin)
files = [n for n in d["nodes"] if "file" in n]
print(len(d["nodes"]), len(files), d["nodes"][3]["parent"])' <<<"$json")"
fi
"$cli" list --json --tsv sample.sga >/dev/null 2>&1; check "--json with --tsv is a usage error" 1 $?
"$cli" list --long sample-sv1.big | head -n 1 | grep -q "CRC  Path" || { echo "FAIL: list --long RBF"; failures=$((failures + 1)); }

"$cli" extract sample-sv1.big >/dev/null 2>&1; check "extract refuses RBF" 2 $?
cp sample-sv1.big 'café ünï.big'
check "non-ASCII archive name as the root" "café ünï.big" "$("$cli" list 'café ünï.big' | head -n 1)"
"$cli" --debug info 'café ünï.big' >/dev/null
[ -f 'café ünï.big.debug.txt' ] || { echo "FAIL: debug file of a non-ASCII name"; failures=$((failures + 1)); }
out=$("$cli" info sample-sv1.big); check "rbf info" "Identifier=RBF" "$(head -n 1 <<<"$out")"
check "rbf list" "$(printf '1\tRoot\t\tsample-sv1.big')" "$("$cli" list --tsv sample-sv1.big | head -n 1)"

# Interrupted in the middle of an entry: nothing is left under any name, the status is 3,
# and a re-run writes the file whatever temporaries an earlier run may have left.
if [ -d /proc/self/fd ]; then
    "$make_samples" "$work" big || exit 1
    for signal in INT TERM KILL; do
        rm -rf kill; mkdir kill
        "$cli" extract -C kill big.sga >/dev/null 2>kill.err & pid=$!
        writing=""
        for _ in $(seq 1 3000); do # until the file is open for writing, 30 s at most
            writing=$(ls -l /proc/$pid/fd 2>/dev/null | grep -E '/kill/data/big/(#|\.at-)' || true)
            [ -n "$writing" ] && break
            sleep 0.01
        done
        kill -s $signal $pid; wait $pid; status=$?
        [ -n "$writing" ] || { echo "FAIL: SIG$signal: never saw big.bin being written"; failures=$((failures + 1)); }
        if [ $signal != KILL ]; then
            check "SIG$signal status" 3 $status
            grep -q "^Interrupted: " kill.err || { echo "FAIL: SIG$signal message"; failures=$((failures + 1)); }
        fi
        check "SIG$signal leaves nothing behind" "" "$(ls -A kill/data/big)"
    done
    : > kill/data/big/big.bin.part # temporaries of the old kind, and one of ours
    : > kill/data/big/.at-0123456789abcdef.part
    "$cli" extract -C kill big.sga >/dev/null 2>&1; check "re-run after the kills" 0 $?
    check "re-run wrote the whole file" 268435456 "$(stat -c %s kill/data/big/big.bin)"
    "$cli" extract -C kill big.sga >/dev/null 2>&1; check "re-run over the file" 0 $?
    check "no temporaries of the two runs" "$(printf '.at-0123456789abcdef.part\nbig.bin\nbig.bin.part')" \
        "$(ls -A kill/data/big)"
fi

if [ $failures -eq 0 ]; then echo "cli: all checks passed"; else echo "cli: $failures checks failed"; exit 1; fi
