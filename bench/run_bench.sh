#!/usr/bin/env bash
# Times orvane-replace-cli against the command-line tools people use for the same work
# (ripgrep, sd, sed) on generated corpora, in one run on a warm cache, checks that every
# tool's output is byte-identical to a plain reference, and prints the ratios.
#
#   bench/run_bench.sh [--runs N] [--only replace,find,big,small,window]
#
# Environment: ORVANE_BUILD_DIR (default build/), ORVANE_BENCH_DATA (default /tmp; the
# corpora are generated there once and reused; nothing is written into the repository
# except bench/out/, which git ignores).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
here=$top/bench
build=${ORVANE_BUILD_DIR:-$top/build}
data=${ORVANE_BENCH_DATA:-/tmp}
corpus=$data/orvane-corpus
big=$data/orvane-big
small=$data/orvane-small
work=$data/orvane-bench-work
out=$here/out
runs=5
only=replace,find,big,small,window

while (($#)); do
    case $1 in
    --runs) runs=$2; shift 2 ;;
    --only) only=$2; shift 2 ;;
    -h | --help) sed -n '2,11p' "$0"; exit 0 ;;
    *) echo "unknown option: $1" >&2; exit 2 ;;
    esac
done
wants() { [[ ,$only, == *,$1,* ]]; }

for tool in hyperfine rg sd sed python3 /usr/bin/time; do
    command -v "$tool" >/dev/null || { echo "missing $tool: run scripts/install-deps.sh" >&2; exit 2; }
done

FIND='Copyright 2019 Old Company Ltd'
REPL='Copyright 2026 New Company GmbH'
MASK='*.htm,*.html,*.asp,*.txt'
GLOB='*.{htm,html,asp,txt}'
# find(1)'s test for the same mask: the extension after the last dot, case counts.
MASKFIND="\\( -name '*.htm' -o -name '*.html' -o -name '*.asp' -o -name '*.txt' \\)"
export LC_ALL=C # sed and sort byte for byte

cli=$build/orvane-replace-cli
window=$build/bench_window
[[ -x $cli ]] || { echo "note: $cli not built; timing the peers alone" >&2; cli=; }
[[ -x $window ]] || window=

q() { printf '%q' "$1"; }
mkdir -p "$out"
report=$out/results.md
: >"$report"
say() { printf '%s\n' "$*" | tee -a "$report"; }

# Copies a corpus to the work folder and flushes it, so the copy's write-back does not
# land in the timed run. Not timed.
fresh() { # source-folder
    echo "rm -rf $(q "$work") && mkdir -p $(q "$work") && cp -a $(q "$1") $(q "$work/site") && sync"
}

machine() {
    say "## Machine"
    say ""
    say "- date: $(date -u '+%Y-%m-%d %H:%M UTC'), commit $(git -C "$top" rev-parse --short HEAD 2>/dev/null || echo '?')"
    say "- cpu: $(nproc) x $(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -1)"
    say "- memory: $(awk '/MemTotal/ {printf "%.1f GiB", $2/1048576}' /proc/meminfo)"
    say "- disk: $(findmnt -n -o SOURCE,FSTYPE -T "$data" | tr -s ' ') (rotational: $(cat /sys/block/"$(basename "$(findmnt -n -o SOURCE -T "$data")")"/queue/rotational 2>/dev/null || echo '?'))"
    say "- tools: $(rg --version | head -1), $(sd --version), $(sed --version | head -1), $(hyperfine --version)"
    say "- load average at start: $(cut -d' ' -f1-3 /proc/loadavg)"
    say ""
}

median() { python3 -c 'import statistics,sys; print(statistics.median(float(x) for x in sys.argv[1:]))' "$@"; }

hyper() { # json-file, then hyperfine arguments
    local json=$1
    shift
    hyperfine --style basic --output pipe --export-json "$json" "$@" >"$json.log" 2>&1 ||
        { cat "$json.log" >&2; echo "hyperfine failed" >&2; exit 1; }
}

# Runs one replace command on a fresh copy and checks the tree against the reference.
check_replace() { # name, command, source-folder, mask
    local name=$1 cmd=$2 src=$3 mask=$4
    bash -c "$(fresh "$src")"
    bash -c "$cmd" >/dev/null
    local changed
    if changed=$(python3 "$here/check_tree.py" "$src" "$work/site" --mask "$mask" --find "$FIND" --text "$REPL"); then
        say "- $name: output tree identical to the reference ($changed files changed)"
    else
        say "- $name: OUTPUT DIFFERS from the reference"
        exit 1
    fi
}

# Runs one Just Find command and checks its list of paths against the reference's.
check_find() { # name, command, folder
    local name=$1 cmd=$2 dir=$3
    python3 "$here/check_tree.py" --list "$dir" --find "$FIND" --mask "$MASK" >"$out/find.expected"
    # The command line's summary line is not a path.
    bash -c "$cmd" | grep -Ev '^(Found|Replaced|Inserted) [0-9]+ files in [0-9]+ files$' |
        python3 -c 'import os,sys; [print(os.path.normpath(l.rstrip("\n"))) for l in sys.stdin]' |
        sort >"$out/find.got"
    sort -o "$out/find.expected" "$out/find.expected"
    if cmp -s "$out/find.expected" "$out/find.got"; then
        say "- $name: lists the reference's $(wc -l <"$out/find.got") files"
    else
        say "- $name: LIST DIFFERS from the reference (see $out/find.got)"
        exit 1
    fi
}

bench_replace() {
    python3 "$here/make_corpus.py" tree "$corpus" >/dev/null
    local W=$work/site names=() cmds=()
    if [[ -n $cli ]]; then
        names+=("orvane-replace-cli")
        cmds+=("$(q "$cli") --path $(q "$W") --mask $(q "$MASK") --action replace --find $(q "$FIND") --text $(q "$REPL")")
    fi
    names+=("rg | sd")
    cmds+=("rg -l0 -F $(q "$FIND") -g $(q "$GLOB") $(q "$W") | xargs -0 -r sd -s $(q "$FIND") $(q "$REPL")")
    names+=("sd (all mask files)")
    cmds+=("find $(q "$W") -type f $MASKFIND -print0 | xargs -0 -r sd -s $(q "$FIND") $(q "$REPL")")
    names+=("sed -i")
    cmds+=("find $(q "$W") -type f $MASKFIND -print0 | xargs -0 -r sed -i $(q "s/$FIND/$REPL/g")")

    say "## Replace, $(find "$corpus/site" -type f | wc -l) files, $(du -sm --apparent-size "$corpus/site" | cut -f1) MB, warm cache, fresh copy per run"
    say ""
    local i args=()
    for i in "${!names[@]}"; do
        check_replace "${names[$i]}" "${cmds[$i]}" "$corpus/site" "$MASK"
        args+=(-n "${names[$i]}" "${cmds[$i]}")
    done
    say ""
    hyper "$out/replace.json" --warmup 1 --runs "$runs" --prepare "$(fresh "$corpus/site")" "${args[@]}"
    python3 "$here/summarize.py" "$out/replace.json" --baseline "rg | sd" \
        --target "orvane-replace-cli=0.5" | tee -a "$report"
    say ""
    # The same two commands again, turn about, so a slow patch of the machine falls on both.
    if [[ -n $cli ]]; then
        say "Turn about (bench/interleave.py), $runs runs each:"
        say ""
        python3 "$here/interleave.py" --source "$corpus/site" --work "$work" --runs "$runs" \
            --baseline "rg | sd" "orvane-replace-cli=${cmds[0]//$(q "$W")/\"\$W\"}" \
            "rg | sd=${cmds[1]//$(q "$W")/\"\$W\"}" | tee -a "$report"
        say ""
    fi
}

bench_find() {
    python3 "$here/make_corpus.py" tree "$corpus" >/dev/null
    local D=$corpus/site names=() cmds=()
    if [[ -n $cli ]]; then
        names+=("orvane-replace-cli")
        cmds+=("$(q "$cli") --path $(q "$D") --mask $(q "$MASK") --action find --find $(q "$FIND") --paths")
    fi
    names+=("rg -l")
    cmds+=("rg -l -F $(q "$FIND") -g $(q "$GLOB") $(q "$D")")

    say "## Just Find, the same tree, warm cache"
    say ""
    local i args=()
    for i in "${!names[@]}"; do
        check_find "${names[$i]}" "${cmds[$i]}" "$D"
        args+=(-n "${names[$i]}" "${cmds[$i]}")
    done
    say ""
    hyper "$out/find.json" --warmup 2 --runs $((runs * 2)) "${args[@]}"
    python3 "$here/summarize.py" "$out/find.json" --baseline "rg -l" \
        --target "orvane-replace-cli=1.0" | tee -a "$report"
    say ""
}

bench_big() {
    python3 "$here/make_corpus.py" big "$big" >/dev/null
    local W=$work/site F=$work/site/big.txt names=() cmds=()
    if [[ -n $cli ]]; then
        names+=("orvane-replace-cli (synced)")
        cmds+=("$(q "$cli") --path $(q "$W") --mask '*.txt' --action replace --find $(q "$FIND") --text $(q "$REPL")")
    fi
    names+=("sed -i")
    cmds+=("sed -i $(q "s/$FIND/$REPL/g") $(q "$F")")
    names+=("sd -s")
    cmds+=("sd -s $(q "$FIND") $(q "$REPL") $(q "$F")")

    local size
    size=$(stat -c %s "$big/site/big.txt")
    say "## One text file of $((size / 1000000)) MB, 12 matches, replace"
    say ""
    local i args=() kb
    for i in "${!names[@]}"; do
        check_replace "${names[$i]}" "${cmds[$i]}" "$big/site" '*.txt'
        bash -c "$(fresh "$big/site")"
        kb=$(/usr/bin/time -f '%M' bash -c "exec ${cmds[$i]} >/dev/null" 2>&1 >/dev/null | tail -1)
        say "  peak memory $((kb / 1024)) MiB = $(python3 -c "print(f'{$kb * 1024 / $size:.2f}')") x the file"
        args+=(-n "${names[$i]}" "${cmds[$i]}")
    done
    say ""
    hyper "$out/big.json" --warmup 1 --runs "$(((runs + 1) / 2))" --prepare "$(fresh "$big/site")" "${args[@]}"
    python3 "$here/summarize.py" "$out/big.json" --baseline "sed -i" \
        --target "orvane-replace-cli (synced)=1.0" | tee -a "$report"
    say ""
}

bench_small() {
    python3 "$here/make_corpus.py" small "$small" >/dev/null
    local total
    total=$(find "$small/site" -type f | wc -l)
    say "## Just Find over many small files ($total in all), warm cache"
    say ""
    local sub n args
    for sub in h1/q1 h1 .; do
        local D
        D=$(realpath "$small/site/$sub")
        n=$(find "$D" -type f | wc -l)
        args=()
        if [[ -n $cli ]]; then
            args+=(-n "orvane-replace-cli" "$(q "$cli") --path $(q "$D") --mask $(q "$MASK") --action find --find $(q "$FIND") --paths")
        fi
        args+=(-n "rg -l" "rg -l -F $(q "$FIND") -g $(q "$GLOB") $(q "$D")")
        hyper "$out/small-$n.json" --warmup 1 --runs 3 "${args[@]}"
        say "### $n files"
        say ""
        python3 "$here/summarize.py" "$out/small-$n.json" --baseline "rg -l" --files "$n" | tee -a "$report"
        say ""
    done
    python3 - "$out" <<'EOF' | tee -a "$report"
import glob, json, statistics, sys
rows = {}
for path in glob.glob(sys.argv[1] + "/small-*.json"):
    n = int(path.rsplit("-", 1)[1].split(".")[0])
    for r in json.load(open(path))["results"]:
        rows.setdefault(r["command"], {})[n] = statistics.median(r["times"])
print("Linearity: microseconds per file at each size (flat means linear)")
print()
for name, by_n in rows.items():
    print(f"- {name}: " + ", ".join(f"{n // 1000}k: {t / n * 1e6:.2f}" for n, t in sorted(by_n.items())))
EOF
    say ""
}

bench_window() {
    if [[ -z $window ]]; then
        say "## Window: $build/bench_window not built, skipped"
        say ""
        return
    fi
    python3 "$here/make_corpus.py" tree "$corpus" >/dev/null
    local W=$work/site action secs=() stalls=() line
    say "## Window (bench_window) against the command line, the same tree"
    say ""
    for action in replace find; do
        secs=()
        stalls=()
        for ((i = 0; i < runs; i++)); do
            [[ $action == replace ]] && bash -c "$(fresh "$corpus/site")"
            local dir=$W
            [[ $action == find ]] && dir=$corpus/site
            line=$("$window" --path "$dir" --mask "$MASK" --find "$FIND" --text "$REPL" --action "$action" \
                2>>"$out/window.log" | grep window_seconds=)
            secs+=("$(sed -n 's/.*window_seconds=\([0-9.]*\).*/\1/p' <<<"$line")")
            stalls+=("$(sed -n 's/.*max_stall_ms=\([0-9.]*\).*/\1/p' <<<"$line")")
        done
        if [[ $action == replace ]]; then
            python3 "$here/check_tree.py" "$corpus/site" "$W" --mask "$MASK" --find "$FIND" --text "$REPL" >/dev/null ||
                { say "- window replace: OUTPUT DIFFERS from the reference"; exit 1; }
        fi
        local ws st cli_s=
        ws=$(median "${secs[@]}")
        st=$(python3 -c 'import sys; print(max(float(x) for x in sys.argv[1:]))' "${stalls[@]}")
        local json=$out/replace.json
        [[ $action == find ]] && json=$out/find.json
        if [[ -f $json ]]; then
            cli_s=$(python3 -c 'import json,statistics,sys
for r in json.load(open(sys.argv[1]))["results"]:
    if r["command"] == "orvane-replace-cli": print(statistics.median(r["times"]))' "$json")
        fi
        if [[ -n $cli_s ]]; then
            say "- $action: window ${ws} s (median of $runs), command line ${cli_s} s, ratio $(python3 -c "print(f'{$ws / $cli_s:.2f}')") (target <= 1.2); longest stall ${st} ms (target <= 50)"
        else
            say "- $action: window ${ws} s (median of $runs); longest stall ${st} ms (target <= 50)"
        fi
    done
    say ""
}

machine
wants replace && bench_replace
wants find && bench_find
wants big && bench_big
wants small && bench_small
wants window && bench_window
say "Load average at end: $(cut -d' ' -f1-3 /proc/loadavg)"
rm -rf "$work"
echo "Written to $report"
