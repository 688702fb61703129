#!/usr/bin/env bash
# Times kvaren-cli add and check against AIDE and integrit on the same
# synthetic trees, page-cached, and prints a table of seconds and peak memory.
#
# usage: bench/scale/run.sh [COUNT | DIR]...   (default: 10000 20000 100000)
# A COUNT makes a synthetic tree of that many small files; a DIR (an existing
# tree, /usr say) is timed as it is, read only: its check is of the tree
# unchanged.
# With AIDE=0, AIDE is left out (its figures print as "-"), and with
# AIDE_UPTO=N it is left out of the synthetic trees of more than N files: on
# a tree of a million files it takes many minutes a run.
# Installs aide, integrit, openssl, python3 and time when missing; builds
# Kvaren. AIDE is timed alone and with --workers set to the number of cores.
# Accepting is timed on each synthetic tree of a thousand files or more:
# update DIR, and update DIR FILE... of 2, 20 and 200 files. On the tree of
# large files, kvaren-cli sum is timed against openssl dgst -sha256.
# Each figure is the median of RUNS runs (default 3).
# Two floors: the one-reader floor, reading every file of the tree once
# (find | xargs cksum), and the digest floor, every file digested by openssl
# dgst -sha256 in as many processes at once as there are cores (the work no
# SHA-256 monitor can skip). With KVAREN_BEFORE=/path/to/another/kvaren-cli,
# that build is timed on the same trees in the same run, and its check reports
# compared with this build's byte for byte.
set -euo pipefail
here="$(cd "$(dirname "$0")/../.." && pwd)"
counts=("$@")
((${#counts[@]})) || counts=(10000 20000 100000)

need=()
for p in aide integrit openssl python3 time; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || need+=("$p")
done
if ((${#need[@]})); then
  sudo=(); [ "$(id -u)" -eq 0 ] || sudo=(sudo)
  "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq
  "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${need[@]}" >/dev/null
fi
"$here/scripts/setup.sh" >/dev/null
cli="$here/build/src/cli/kvaren-cli"
before="${KVAREN_BEFORE:-}"

scratch="$(mktemp -d "${TMPDIR:-/tmp}/kvaren-bench.XXXXXX")"
trap 'chmod -R u+w "$scratch" 2>/dev/null; rm -rf "$scratch"' EXIT

cores=$(nproc)
warm() { find "$1" -type f -print0 | xargs -0 cat > /dev/null 2>&1 || true; }

# measure NAME PREPARE COMMAND...: runs PREPARE (a shell snippet, untimed) and
# then COMMAND, $runs times, the tree warmed into the page cache before each;
# prints the median time and the largest peak memory: "seconds maxrss_kib".
runs=${RUNS:-3}
measure() {
  local name=$1 prepare=$2 times=() peak=0 t m; shift 2
  for ((r = 0; r < runs; r++)); do
    eval "$prepare"
    warm "$tree"
    /usr/bin/time -f '%e %M' -o "$scratch/$name.time" "$@" > "$scratch/$name.out" 2> "$scratch/$name.err" || true
    read -r t m < <(tail -n 1 "$scratch/$name.time")
    times+=("$t")
    ((m > peak)) && peak=$m
  done
  echo "$(printf '%s\n' "${times[@]}" | sort -g | awk '{v[NR] = $1} END {print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2}') $peak"
}

rows=()
same=()
sizes=()
accepts=()
run_tree() { # label tree synthetic(1|0) [aide(1|0)]
  local label=$1 work="$scratch/$1" synthetic=$3 with_aide=${4:-${AIDE:-1}}
  tree=$2
  mkdir -p "$work/kvaren" "$work/before" "$work/aide" "$work/integrit"
  cat > "$work/aide/aide.conf" <<CONF
database_in=file:$work/aide/aide.db
database_out=file:$work/aide/aide.db.new
gzip_dbout=no
report_url=stdout
Check = ftype+p+u+g+s+m+sha256
$tree Check
CONF
  cat > "$work/integrit/integrit.conf" <<CONF
root=$tree
known=$work/integrit/known.cdb
current=$work/integrit/current.cdb
CONF
  local ka iu kc ic fl df ba="0 0" bc="0 0"
  fl=$(measure "$label-read" ':' sh -c 'find "$1" -type f -print0 | xargs -0 cksum > /dev/null 2>&1 || true' sh "$tree")
  # Each of the cores' processes is given an even share of the files.
  local files per
  files=$(find "$tree" -type f | wc -l)
  per=$(( (files + cores - 1) / cores )); ((per > 2000)) && per=2000; ((per < 1)) && per=1
  df=$(measure "$label-digest" ':' sh -c 'find "$1" -type f -print0 | xargs -0 -P "$2" -n "$3" openssl dgst -sha256 > /dev/null 2>&1 || true' sh "$tree" "$cores" "$per")
  ka=$(cd "$work/kvaren" && measure "$label-kvaren-add" 'rm -f file.gdb; "$cli" init' "$cli" add "$tree")
  [ -z "$before" ] || ba=$(cd "$work/before" && measure "$label-before-add" 'rm -f file.gdb; "$before" init' "$before" add "$tree")
  local ai="0 0" ac="0 0" aw="0 0" acw="0 0"
  if [ "$with_aide" != 0 ]; then
    ai=$(measure "$label-aide-init" 'rm -f "$work/aide/aide.db.new"' aide --init -c "$work/aide/aide.conf")
    aw=$(measure "$label-aide-init-w" 'rm -f "$work/aide/aide.db.new"' aide --init --workers="$cores" -c "$work/aide/aide.conf")
    mv "$work/aide/aide.db.new" "$work/aide/aide.db"
  fi
  iu=$(measure "$label-integrit-u" 'rm -f "$work/integrit/current.cdb"' integrit -C "$work/integrit/integrit.conf" -u)
  mv "$work/integrit/current.cdb" "$work/integrit/known.cdb"

  if [ -n "$before" ]; then # the reports of the tree as it was recorded
    (cd "$work/kvaren" && "$cli" check "$tree" > "$scratch/$label-unchanged-kvaren.out" 2>&1 || true)
    (cd "$work/before" && "$before" check "$tree" > "$scratch/$label-unchanged-before.out" 2>&1 || true)
    if cmp -s "$scratch/$label-unchanged-kvaren.out" "$scratch/$label-unchanged-before.out"; then
      same+=("$label: the reports of the unchanged tree are byte-identical")
    else
      same+=("$label: the reports of the unchanged tree DIFFER")
    fi
  fi
  [ "$synthetic" = 0 ] || python3 "$here/bench/scale/change_tree.py" "$tree" 1 > /dev/null
  local size_before size_after
  size_before=$(stat -c %s "$work/kvaren/file.gdb")
  kc=$(cd "$work/kvaren" && measure "$label-kvaren-check" ':' "$cli" check "$tree")
  size_after=$(stat -c %s "$work/kvaren/file.gdb")
  sizes+=("$label: file.gdb $size_before bytes before the checks, $size_after after them")
  if [ -n "$before" ]; then
    bc=$(cd "$work/before" && measure "$label-before-check" ':' "$before" check "$tree")
    if cmp -s "$scratch/$label-kvaren-check.out" "$scratch/$label-before-check.out"; then
      same+=("$label: the check reports of both builds are byte-identical")
    elif cmp -s <(grep -v '/$' "$scratch/$label-kvaren-check.out") "$scratch/$label-before-check.out"; then
      # A build that records directories also lists the one the change made.
      same+=("$label: the check reports are byte-identical but for this build's directory lines:"
             "$(grep '/$' "$scratch/$label-kvaren-check.out" | sed "s|$tree|TREE|")")
    else
      same+=("$label: the check reports of the two builds DIFFER")
    fi
  fi
  if [ "$synthetic" != 0 ] && [ "$files" -ge 1000 ]; then
    # Accepting: the whole directory, and 2, 20 and 200 of its files by name
    # (each accept of the same names records them anew, the same work).
    local n names bu="-"
    [ -z "$before" ] || bu=$(cd "$work/before" && measure "$label-before-update" ':' "$before" update "$tree")
    accepts+=("$label update-all $(cd "$work/kvaren" && measure "$label-update" ':' "$cli" update "$tree") $bu")
    for n in 2 20 200; do
      mapfile -t names < <(find "$tree" -type f | sort | awk -v n="$n" -v all="$files" 'NR % int(all / n) == 1' | head -n "$n")
      [ -z "$before" ] || bu=$(cd "$work/before" && measure "$label-before-update-$n" ':' "$before" update "$tree" "${names[@]}")
      accepts+=("$label update-$n $(cd "$work/kvaren" && measure "$label-update-$n" ':' "$cli" update "$tree" "${names[@]}") $bu")
    done
  fi
  if [ "$with_aide" != 0 ]; then
    ac=$(measure "$label-aide-check" ':' aide --check -c "$work/aide/aide.conf")
    acw=$(measure "$label-aide-check-w" ':' aide --check --workers="$cores" -c "$work/aide/aide.conf")
  fi
  ic=$(measure "$label-integrit-c" ':' integrit -C "$work/integrit/integrit.conf" -c -u)
  rows+=("$label $ka $ai $aw $iu $kc $ac $acw $ic $fl $df $ba $bc")
  echo "measured $label: $ka $ai $aw $iu $kc $ac $acw $ic $fl $df $ba $bc" >&2
}

for n in "${counts[@]}"; do
  if [ -d "$n" ]; then
    run_tree "$(basename "$n")" "$(cd "$n" && pwd)" 0
  else
    python3 "$here/bench/scale/make_tree.py" "$scratch/tree-$n" "$n"
    aide=${AIDE:-1}
    [ -z "${AIDE_UPTO:-}" ] || ((n <= AIDE_UPTO)) || aide=0
    run_tree "$n" "$scratch/tree-$n" 1 "$aide"
    chmod -R u+w "$scratch/tree-$n"; rm -rf "$scratch/tree-$n" "$scratch/$n"
  fi
done
if [ "${LARGE:-1}" != 0 ]; then # LARGE=0 leaves out the tree of large files
  python3 "$here/bench/scale/make_tree.py" "$scratch/tree-large" --large 1024 4
  run_tree "1GiB" "$scratch/tree-large" 1
  # The three digests of one file in one pass against SHA-256 alone.
  tree="$scratch/tree-large"
  big="$scratch/tree-large/big00.bin"
  digests=("$(measure sum ':' "$cli" sum "$big") $(measure openssl ':' openssl dgst -sha256 "$big") $(stat -c %s "$big")")
fi

python3 - "$cores" "${rows[@]}" <<'PY'
import sys
cores = sys.argv[1]
names = ["ka", "ai", "aw", "iu", "kc", "ac", "acw", "ic", "fl", "df", "ba", "bc"]
rows = []
for r in sys.argv[2:]:
    f = r.split()
    v = [float(x) for x in f[1:]]
    rows.append((f[0], {n: (v[2 * i], v[2 * i + 1] / 1024) for i, n in enumerate(names)}))
with_before = any(m["ba"][0] for _, m in rows)
ratio = lambda a, b: "%.2f" % (a / b) if b else "-"
secs = lambda t: "%.2f" % t if t else "-"
print("AIDE -W: --workers=%s; floor 1: one reader (cksum); floor D: openssl dgst -sha256, %s processes" % (cores, cores))
print("%-7s %-6s %8s %8s %8s %8s %8s %7s %7s %7s %7s %7s %8s   %s" % (
    "files", "step", "kvaren", "aide", "aide -W", "integrit", "best", "k/best", "floor 1", "k/fl 1",
    "floor D", "k/fl D", "before" if with_before else "", "peak MB kvaren/aide/aide -W/integrit"))
times = {}
for label, m in rows:
    for step, (k, a, w, i, b) in (("add", ("ka", "ai", "aw", "iu", "ba")), ("check", ("kc", "ac", "acw", "ic", "bc"))):
        kt = m[k][0]
        peers = [t for t in (m[a][0], m[w][0], m[i][0]) if t]
        best = min(peers) if peers else 0
        times[(label, step)] = kt
        print("%-7s %-6s %8.2f %8s %8s %8s %8s %7s %7.2f %7s %7.2f %7s %8s   %.0f/%.0f/%.0f/%.0f" % (
            label, step, kt, secs(m[a][0]), secs(m[w][0]), secs(m[i][0]), secs(best), ratio(kt, best),
            m["fl"][0], ratio(kt, m["fl"][0]), m["df"][0], ratio(kt, m["df"][0]),
            secs(m[b][0]) if with_before else "", m[k][1], m[a][1], m[w][1], m[i][1]))
for step in ("add", "check"):
    if ("100000", step) in times and ("10000", step) in times and times[("10000", step)]:
        print("kvaren %s 100k/10k time ratio: %.1f" % (step, times[("100000", step)] / times[("10000", step)]))
for label, _ in rows:
    if times.get((label, "add")):
        print("kvaren %s check/add: %.2f" % (label, times[(label, "check")] / times[(label, "add")]))
PY
for line in "${accepts[@]}"; do
  read -r label what t m bt bm <<< "$line"
  add=$(printf '%s\n' "${rows[@]}" | awk -v l="$label" '$1 == l {print $2}')
  printf 'kvaren %-8s %-11s %7.2f s  %6.0f MB  (%.2f x add)' "$label" "$what" "$t" "$((m / 1024))" \
    "$(awk -v t="$t" -v a="$add" 'BEGIN {print a ? t / a : 0}')"
  [ "${bt:--}" = - ] || printf '   before %7.2f s' "$bt"
  echo
done
if [ -n "${digests:-}" ]; then
  read -r st sm ot om bytes <<< "${digests[0]}"
  awk -v st="$st" -v ot="$ot" -v b="$bytes" 'BEGIN {
    printf "sum of %d MiB: kvaren-cli sum %.2f s (%.0f MB/s), openssl dgst -sha256 %.2f s (%.0f MB/s), sum/openssl %.2f\n",
      b / 1048576, st, b / 1e6 / st, ot, b / 1e6 / ot, st / ot }'
fi
for line in "${same[@]}" "${sizes[@]}"; do echo "$line"; done
