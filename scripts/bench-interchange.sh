#!/usr/bin/env bash
# Times the tessaline command against Debian's abook on the same generated
# contacts, side by side in one hyperfine run: the vCard 3.0 export, the
# import of those cards into an empty list (abook converting them into its
# own format, to a file) and the mail client's address query. Prints the
# table and each ratio with its budget (export at most 1/2 of abook's time,
# import and query at most 3/4); exits 1 when a budget is missed.
# Usage: [ROUNDS=5] scripts/bench-interchange.sh [COUNT]   (default 10000)
set -euo pipefail
cd "$(dirname "$0")/.."
count=${1:-10000}
build="${BUILD_DIR:-build-bench}"

missing=()
for p in hyperfine abook; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DTESSALINE_BENCH=ON -DTESSALINE_TESTS=OFF >/dev/null
cmake --build "$build" -j2 --target tessaline tessaline_interchange_data >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/Tessaline/Data"
"$build/bench/tessaline_interchange_data" "$count" "$work/Tessaline/Data/load.txt" "$work/addressbook"
export XDG_DATA_HOME="$work"
tessaline=$(pwd)/$build/tessaline
query=青木
# The cards to import, and an empty list to import them into, emptied again
# before each run.
cards="$work/cards.vcf"
"$tessaline" export --format vcard3 --output "$cards"
emptydata="$work/empty/Tessaline/Data"
# The empty list is owner-only, as the program makes every list (a list
# others may read is copied into the undo history rather than linked).
emptyfolder="rm -rf $emptydata && mkdir -p $emptydata && umask 077 && : > $emptydata/load.txt"
# abook writes no file that is already there.
converted="$work/converted.abook"

# The import runs through env for its own data folder; env costs well under
# a millisecond, counted against us.
#
# hyperfine times one command's runs after the other's, so a machine that
# speeds up or slows down meanwhile (a shared host: here the same command
# varies by a third from one minute to the next) moves a ratio taken from one
# long run. The six commands are timed in ROUNDS short runs instead; each
# round gives each pair's ratio, and the budget is held by their median.
rounds=${ROUNDS:-5}
for round in $(seq "$rounds"); do
  hyperfine -N --warmup 3 --runs 12 --export-json "$work/result.$round.json" \
    --prepare true --prepare true --prepare "sh -c '$emptyfolder'" --prepare "rm -f $converted" \
    --prepare true --prepare true \
    -n "tessaline export --format vcard3" "$tessaline export --format vcard3" \
    -n "abook --convert --outformat vcard" \
       "abook --convert --informat abook --infile $work/addressbook --outformat vcard" \
    -n "tessaline import (vCard 3.0)" "env XDG_DATA_HOME=$work/empty $tessaline import $cards" \
    -n "abook --convert --informat vcard" \
       "abook --convert --informat vcard --infile $cards --outformat abook --outfile $converted" \
    -n "tessaline query $query" "$tessaline query $query" \
    -n "abook --mutt-query $query" "abook --datafile $work/addressbook --mutt-query $query"
done

/usr/bin/python3 - "$work" "$rounds" <<'PY'
import json, statistics, sys
work, rounds = sys.argv[1], int(sys.argv[2])
results = [{x["command"]: x for x in json.load(open(f"{work}/result.{n}.json"))["results"]}
           for n in range(1, rounds + 1)]
names = list(results[0])
ok = True
for ours, theirs, budget in ((names[0], names[1], 0.5), (names[2], names[3], 0.75),
                             (names[4], names[5], 0.75)):
    ratios = [r[ours]["mean"] / r[theirs]["mean"] for r in results]
    ratio = statistics.median(ratios)
    mean = lambda name: statistics.mean(t for r in results for t in r[name]["times"]) * 1000
    print(f"{ours}: {mean(ours):.1f} ms, {theirs}: {mean(theirs):.1f} ms, "
          f"ratio {ratio:.2f} (budget {budget}; rounds: {', '.join(f'{x:.2f}' for x in ratios)})")
    ok = ok and ratio <= budget
sys.exit(0 if ok else 1)
PY
