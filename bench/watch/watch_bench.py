#!/usr/bin/env python3
"""Measures kvaren-cli watch on a tree of FILES files in DIRS directories.

usage: watch_bench.py KVAREN_CLI SCRATCH [FILES DIRS BURST IDLE_SECONDS]

Puts the tree under control, starts the watch and waits for its first check
to end; then measures the CPU it uses over IDLE_SECONDS while nothing
changes, changes BURST files (a byte appended to each) as fast as it can, and
reads the findings until every one is in or a minute has passed. Prints the
figures, one "name: value" a line.
"""
import json
import os
import signal
import subprocess
import sys
import threading
import time


def make_tree(root, files, dirs):
    per = files // dirs
    for d in range(dirs):
        path = os.path.join(root, "d%04d" % d)
        os.makedirs(path)
        for f in range(per):
            with open(os.path.join(path, "f%03d.txt" % f), "wb") as out:
                out.write(b"file %d of directory %d\n" % (f, d))


def cpu_seconds(pid):
    with open("/proc/%d/stat" % pid) as stat:
        fields = stat.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def memory_kib(pid, key):
    with open("/proc/%d/status" % pid) as status:
        for line in status:
            if line.startswith(key + ":"):
                return int(line.split()[1])
    return 0


def main():
    cli, scratch = sys.argv[1], sys.argv[2]
    files, dirs, burst, idle = (int(a) for a in (sys.argv[3:7] + ["100000", "1000", "10000", "30"][len(sys.argv) - 3:]))
    tree = os.path.join(scratch, "tree")
    env = dict(os.environ, KVAREN_DATABASE=os.path.join(scratch, "file.gdb"))
    t = time.monotonic()
    make_tree(tree, files, dirs)
    print("tree: %d files in %d directories (%.1f s to make)" % (files, dirs, time.monotonic() - t))
    subprocess.run([cli, "init"], env=env, check=True)
    t = time.monotonic()
    subprocess.run([cli, "add", tree], env=env, check=True, stdout=subprocess.DEVNULL)
    print("add: %.1f s" % (time.monotonic() - t))

    t = time.monotonic()
    watch = subprocess.Popen([cli, "watch", "--json", tree], env=env, stdout=subprocess.PIPE,
                             stderr=subprocess.PIPE)
    ready = threading.Event()
    errors = []

    def read_err():
        for line in watch.stderr:
            errors.append(line.decode())
            if line.startswith("Отслеживается: ".encode()):
                ready.set()

    lines = []  # (time, line)

    def read_out():
        for line in watch.stdout:
            lines.append((time.monotonic(), line))

    threading.Thread(target=read_err, daemon=True).start()
    reader = threading.Thread(target=read_out, daemon=True)
    reader.start()
    if not ready.wait(600):
        sys.exit("the watch did not get ready: " + "".join(errors))
    print("first check and watches: %.1f s" % (time.monotonic() - t))
    print("findings of the first check: %d" % len(lines))

    before = cpu_seconds(watch.pid)
    time.sleep(idle)
    idle_cpu = cpu_seconds(watch.pid) - before
    print("CPU while idle: %.2f s over %d s" % (idle_cpu, idle))
    print("RSS while idle: %.1f MB (its own memory %.1f MB, pages of shared libraries %.1f MB)"
          % (memory_kib(watch.pid, "VmRSS") / 1024, memory_kib(watch.pid, "RssAnon") / 1024,
             memory_kib(watch.pid, "RssFile") / 1024))
    print("peak RSS so far (with the first check): %.1f MB" % (memory_kib(watch.pid, "VmHWM") / 1024))

    step = max(1, files // burst)
    names = []
    for i in range(0, files, step):
        names.append(os.path.join(tree, "d%04d" % (i // (files // dirs)), "f%03d.txt" % (i % (files // dirs))))
        if len(names) == burst:
            break
    start = time.monotonic()
    for name in names:
        with open(name, "ab") as out:
            out.write(b"+")
    end = time.monotonic()
    print("burst: %d files changed in %.2f s" % (len(names), end - start))
    deadline = end + 60
    expected = set(names)
    while time.monotonic() < deadline:
        reported = {json.loads(l)["changed"]["file"] for _, l in lines if b'"changed"' in l}
        if expected <= reported:
            break
        time.sleep(0.2)
    after_burst = [(at, l) for at, l in lines if at >= start]
    files_reported = [json.loads(l)["changed"]["file"] for _, l in after_burst if b'"changed"' in l]
    last = max((at for at, _ in after_burst), default=end)
    print("reported: %d of %d expected" % (len(set(files_reported) & expected), len(expected)))
    print("duplicates: %d" % (len(files_reported) - len(set(files_reported))))
    print("other lines: %d" % (len(after_burst) - len(files_reported)))
    print("burst end to last report: %.2f s (settle time 2 s)" % (last - end))
    print("RSS after the burst: %.1f MB (its own memory %.1f MB)"
          % (memory_kib(watch.pid, "VmRSS") / 1024, memory_kib(watch.pid, "RssAnon") / 1024))
    print("peak RSS: %.1f MB" % (memory_kib(watch.pid, "VmHWM") / 1024))

    watch.send_signal(signal.SIGTERM)
    status = watch.wait(30)
    print("status after SIGTERM: %d" % status)
    lost = [e for e in errors if e.startswith("Изменения могли")]
    print("lost notifications: %d" % len(lost))
    for line in errors:
        if not line.startswith("Отслеживается: ") and not line.startswith("Команда остановлена"):
            print("stderr: " + line.rstrip())


if __name__ == "__main__":
    main()
