#!/usr/bin/env bash
# Times kvaren-cli add and check against AIDE and integrit on the same
# synthetic trees, page-cached, and prints a table of seconds and peak memory.
#
# usage: bench/scale/run.sh [COUNT...]     (default: 10000 20000 100000)
# With AIDE=0, AIDE is left out (its figures print as 0): on a tree of a
# million files it takes many minutes a run.
# Installs aide, integrit, python3 and time when missing; builds Kvaren.
# The floor is the time of reading every file of the tree once (find | xargs
# cksum). With KVAREN_BEFORE=/path/to/another/kvaren-cli, that build is timed
# on the same trees in the same run, and its check reports compared with this
# build's byte for byte.
set -euo pipefail
here="$(cd "$(dirname "$0")/../.." && pwd)"
counts=("$@")
((${#counts[@]})) || counts=(10000 20000 100000)

need=()
for p in aide integrit python3 time; do
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

warm() { find "$1" -type f -print0 | xargs -0 cat > /dev/null; }

# measure NAME PREPARE COMMAND...: runs PREPARE (a shell snippet, untimed) and
# then COMMAND, $runs times, the tree warmed into the page cache before each;
# prints the fastest time and the largest peak memory: "seconds maxrss_kib".
runs=${RUNS:-3}
measure() {
  local name=$1 prepare=$2 best="" peak=0 t m; shift 2
  for ((r = 0; r < runs; r++)); do
    eval "$prepare"
    warm "$tree"
    /usr/bin/time -f '%e %M' -o "$scratch/$name.time" "$@" > "$scratch/$name.out" 2> "$scratch/$name.err" || true
    read -r t m < <(tail -n 1 "$scratch/$name.time")
    if [ -z "$best" ] || awk "BEGIN{exit !($t < $best)}"; then best=$t; fi
    ((m > peak)) && peak=$m
  done
  echo "$best $peak"
}

rows=()
same=()
sizes=()
run_tree() { # label tree
  local label=$1 work="$scratch/$1"
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
  local ka iu kc ic fl ba="0 0" bc="0 0"
  fl=$(measure "$label-read" ':' sh -c 'find "$1" -type f -print0 | xargs -0 cksum > /dev/null' sh "$tree")
  ka=$(cd "$work/kvaren" && measure "$label-kvaren-add" 'rm -f file.gdb; "$cli" init' "$cli" add "$tree")
  [ -z "$before" ] || ba=$(cd "$work/before" && measure "$label-before-add" 'rm -f file.gdb; "$before" init' "$before" add "$tree")
  local ai="0 0" ac="0 0"
  if [ "${AIDE:-1}" != 0 ]; then
    ai=$(measure "$label-aide-init" 'rm -f "$work/aide/aide.db.new"' aide --init -c "$work/aide/aide.conf")
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
  python3 "$here/bench/scale/change_tree.py" "$tree" 1 > /dev/null
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
  [ "${AIDE:-1}" = 0 ] || ac=$(measure "$label-aide-check" ':' aide --check -c "$work/aide/aide.conf")
  ic=$(measure "$label-integrit-c" ':' integrit -C "$work/integrit/integrit.conf" -c -u)
  rows+=("$label $ka $ai $iu $kc $ac $ic $fl $ba $bc")
  echo "measured $label: $ka $ai $iu $kc $ac $ic $fl $ba $bc" >&2
}

for n in "${counts[@]}"; do
  python3 "$here/bench/scale/make_tree.py" "$scratch/tree-$n" "$n"
  run_tree "$n" "$scratch/tree-$n"
done
if [ "${LARGE:-1}" != 0 ]; then # LARGE=0 leaves out the tree of large files
  python3 "$here/bench/scale/make_tree.py" "$scratch/tree-large" --large 1024 4
  run_tree "1GiB" "$scratch/tree-large"
fi

python3 - "${rows[@]}" <<'PY'
import sys
rows = [r.split() for r in sys.argv[1:]]
with_before = any(float(r[15]) for r in rows)
print("%-7s %-7s %9s %9s %9s %7s %7s %8s %7s %9s   %s" % (
    "files", "step", "kvaren s", "aide s", "integrit", "k/aide", "k/intg", "floor s", "k/floor",
    "before s" if with_before else "", "peak MB kvaren/aide/integrit"))
times = {}
for r in rows:
    label = r[0]
    v = [float(x) for x in r[1:]]
    floor = v[12]
    for step, (k, a, i, b) in (("add", (0, 1, 2, 7)), ("check", (3, 4, 5, 8))):
        kt, km, at, am, it, im, bt = v[2*k], v[2*k+1], v[2*a], v[2*a+1], v[2*i], v[2*i+1], v[2*b]
        times[(label, step)] = kt
        print("%-7s %-7s %9.2f %9.2f %9.2f %7.2f %7.2f %8.2f %7.2f %9s   %.0f/%.0f/%.0f" % (
            label, step, kt, at, it, kt / at if at else 0, kt / it if it else 0, floor, kt / floor if floor else 0,
            "%.2f" % bt if with_before else "", km / 1024, am / 1024, im / 1024))
for step in ("add", "check"):
    if ("100000", step) in times and ("10000", step) in times and times[("10000", step)]:
        print("kvaren %s 100k/10k time ratio: %.1f" % (step, times[("100000", step)] / times[("10000", step)]))
for label in sorted({r[0] for r in rows}, key=lambda l: (not l.isdigit(), int(l) if l.isdigit() else 0)):
    if (label, "add") in times and (label, "check") in times and times[(label, "add")]:
        print("kvaren %s check/add: %.2f" % (label, times[(label, "check")] / times[(label, "add")]))
PY
for line in "${same[@]}" "${sizes[@]}"; do echo "$line"; done
