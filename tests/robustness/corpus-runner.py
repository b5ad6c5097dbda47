#!/usr/bin/env python3
"""The work behind run-corpus.sh and soak.sh; they set up the Wine session.

  corpus-runner.py run  BUILD_DIR CORPUS_DIR [--subset] [--jobs N] [--probe PATH]
  corpus-runner.py soak BUILD_DIR CORPUS_DIR

run:  every input of the corpus (the CI subset with --subset) in a folder of
      its own inside the Wine prefix, one kadrix-thumb process each, with a
      wall limit; then the table, the TSV of all results in BUILD_DIR, and
      the verdict on the criteria below (exit status 1 when one fails).
soak: one kadrix-thumb process asks for 200 clips in a row and reports what
      the process holds every 20 requests, with a verdict on growth.
"""
import argparse
import concurrent.futures
import csv
import hashlib
import os
import random
import re
import runpy
import shutil
import signal
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))

# What the CI subset asserts, and what a full run is measured against.
CAPTURE_DEADLINE_MS = 8000  # engine/capture/capture_job.h
REQUEST_LIMIT_MS = CAPTURE_DEADLINE_MS + 1000
BROKEN_HOLD_MS = 1000  # a structurally broken input should be refused faster than this
WALL_LIMIT_S = 20  # past this the process counts as hung and is killed
SOAK_REQUESTS = 200
SOAK_EVERY = 20

STREAMS = (":vantrelthumb", ":vantrelthumbauto", ":vantrelrandom")
HUGE = 64 << 20  # larger files are hashed by their ends only
HASH_ENDS = 1 << 20


def winpath(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def wine_prefix(state):
    return os.path.join(state, "prefix")


def fingerprint(path):
    """The main data's hash; for a huge (sparse) file its size and both ends."""
    h = hashlib.sha1()
    size = os.path.getsize(path)
    h.update(str(size).encode())
    with open(path, "rb") as f:
        if size <= HUGE:
            for block in iter(lambda: f.read(1 << 20), b""):
                h.update(block)
        else:
            h.update(f.read(HASH_ENDS))
            f.seek(size - HASH_ENDS)
            h.update(f.read(HASH_ENDS))
    return h.hexdigest()


def copy_input(source, target):
    # --sparse=always keeps a hole a hole: the 5 GiB input costs no disk.
    subprocess.run(["cp", "--sparse=always", source, target], check=True)


REQUEST = re.compile(r": (?P<ms>[0-9.]+) ms, \d+x\d+, ")
FAILED = re.compile(r": failed \((?P<hr>0x[0-9A-Fa-f]+)\) after (?P<ms>[0-9.]+) ms")
STATS = re.compile(r"^stats: (.*)$", re.M)


def parse_stats(text):
    return [dict(kv.split("=", 1) for kv in m.group(1).split()) for m in STATS.finditer(text)]


def run_thumb(build, state, videos, tiles, wall_limit, stats_every):
    """kadrix-thumb under the session; returns (exit code or None when killed, wall s, out, err)."""
    thumb = os.path.join(build, "tools", "kadrix-thumb.exe")
    dll = winpath(os.path.join(build, "thumbnail_handler", "Glimvex.dll"))
    command = [os.path.join(ROOT, "scripts", "wine-run.sh"), state, thumb, "--dll", dll,
               "--size", "256", "--stats", str(stats_every), *videos, "--out", tiles]
    start = time.monotonic()
    # A group of its own, so a hang is ended with everything it started.
    child = subprocess.Popen(command, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                             stderr=subprocess.PIPE, start_new_session=True)
    try:
        out, err = child.communicate(timeout=wall_limit)
        code = child.returncode
    except subprocess.TimeoutExpired:
        os.killpg(child.pid, signal.SIGKILL)
        out, err = child.communicate()
        code = None
    except BaseException:  # Ctrl-C: the group is out of the terminal's reach
        os.killpg(child.pid, signal.SIGKILL)
        raise
    return code, time.monotonic() - start, out.decode("utf-8", "replace"), err.decode(
        "utf-8", "replace")


def classify(code, out, err):
    """tile, failed (a request that ended without a tile), crash, crash-at-exit, hang, error."""
    served = REQUEST.search(out) or FAILED.search(out)
    if code is None:
        return "hang"
    # Wine reports an unhandled exception on stderr, its debugger's dump on
    # stdout; the exit code is then the exception's low byte (5 for an
    # access violation, 3 for abort), never kadrix-thumb's own 0, 1 or 2.
    crashed = "Unhandled" in err or "Unhandled exception" in out or code not in (0, 1, 2)
    if crashed:
        return "crash-at-exit" if served else "crash"
    if code == 2:
        return "error"  # kadrix-thumb's own: bad arguments, the library did not load
    if REQUEST.search(out):
        return "tile"
    return "failed" if FAILED.search(out) else "error"


def load_subset():
    # The generator's file name is no module name; run it as a file instead
    # (its main part does not run then).
    return runpy.run_path(os.path.join(HERE, "make-corpus.py"))["SUBSET"]


def read_manifest(corpus):
    path = os.path.join(corpus, "manifest.tsv")
    if not os.path.exists(path):
        sys.exit(f"corpus-runner: no manifest in {corpus}; make it with make-corpus.py")
    with open(path, newline="") as f:
        return list(csv.DictReader(f, delimiter="\t"))


def probe_verdicts(probe, corpus, names):
    """{name: (verdict, reason, reads)} from the native probe, or None without one."""
    if not probe or not os.path.exists(probe):
        return None
    listing = "".join(os.path.join(corpus, n) + "\n" for n in names)
    result = subprocess.run([probe, "--stdin"], input=listing.encode(), stdout=subprocess.PIPE,
                            check=True)
    verdicts = {}
    for line in result.stdout.decode().splitlines():
        verdict, reads, _cpu, _size, reason, path = line.split("\t")
        verdicts[os.path.basename(path)] = (verdict, reason, int(reads))
    return verdicts


def run_one(args, work, tiles, index, row):
    name = row["name"]
    folder = os.path.join(work, f"{index:04d}")
    os.makedirs(folder)
    target = os.path.join(folder, name)
    copy_input(os.path.join(args.corpus, name), target)
    before = fingerprint(target)
    code, wall, out, err = run_thumb(args.build, args.state, [winpath(target)], tiles,
                                     WALL_LIMIT_S, 1)
    outcome = classify(code, out, err)
    if outcome == "error" and not out.strip():
        # Now and then Wine fails to start the program at all ("Application
        # could not be started"), before any of our code ran: that says
        # nothing of the input, so it gets one more try.
        code, wall, out, err = run_thumb(args.build, args.state, [winpath(target)], tiles,
                                         WALL_LIMIT_S, 1)
        outcome = classify(code, out, err)
    m = REQUEST.search(out) or FAILED.search(out)
    stats = parse_stats(out)
    allowed = {name} | {name + s for s in STREAMS}
    stray = sorted(os.path.relpath(os.path.join(d, f), folder) for d, _, files in os.walk(folder)
                   for f in files if os.path.relpath(os.path.join(d, f), folder) not in allowed)
    auto = target + ":vantrelthumbauto"
    result = {
        "name": name, "kind": row["kind"], "expected": row["expected"], "outcome": outcome,
        "exit": "-" if code is None else str(code),
        "request_ms": m.group("ms") if m else "",
        "wall_ms": f"{wall * 1000:.0f}",
        "peak_ws_kb": stats[-1]["peak_ws_kb"] if stats else "",
        "threads": stats[-1]["threads"] if stats else "",
        "data_changed": "yes" if fingerprint(target) != before else "no",
        "stray": " ".join(stray),
        "frame": "yes" if os.path.exists(auto) and os.path.getsize(auto) > 0 else "no",
    }
    if outcome in ("crash", "crash-at-exit", "error"):
        first = (err.strip().splitlines() or out.strip().splitlines() or [""])[0]
        result["note"] = first[:160]
    shutil.rmtree(folder, ignore_errors=True)
    return result


def request_ms(r):
    """How long the request held its caller; a hang held it for the whole wall limit."""
    if r["outcome"] == "hang" or not r["request_ms"]:
        return float(r["wall_ms"])
    return float(r["request_ms"])


def show(title, rows, limit=None):
    count = len(rows)
    print(f"  {title:<48} {count}")
    for line in rows[:limit]:
        print(f"      {line}")
    if limit is not None and count > limit:
        print(f"      ... and {count - limit} more")


def report(results, verdicts, tsv, bitness):
    crashes = [r for r in results if r["outcome"] in ("crash", "crash-at-exit")]
    hangs = [r for r in results if r["outcome"] == "hang"]
    errors = [r for r in results if r["outcome"] == "error"]
    late = [r for r in results if request_ms(r) > REQUEST_LIMIT_MS]
    broken_slow = [r for r in results if r["expected"] == "broken" and
                   request_ms(r) > BROKEN_HOLD_MS]
    changed = [r for r in results if r["data_changed"] == "yes"]
    stray = [r for r in results if r["stray"]]
    with_memory = [r for r in results if r["peak_ws_kb"]]
    valid_frames = [r for r in results if r["expected"] == "valid" and r["frame"] == "yes"]

    print(f"\nrobustness run ({bitness}): {len(results)} inputs, "
          f"{sum(r['outcome'] == 'tile' for r in results)} tiles, "
          f"{sum(r['outcome'] == 'failed' for r in results)} failed requests, "
          f"frames captured for {len(valid_frames)} of "
          f"{sum(r['expected'] == 'valid' for r in results)} valid clips")
    show("crashes (during the request / at exit)",
         [f"{r['name']} ({r['outcome']}, exit {r['exit']}) {r.get('note', '')}" for r in crashes],
         20)
    show(f"hangs (killed after {WALL_LIMIT_S} s)", [r["name"] for r in hangs], 20)
    show(f"requests over {REQUEST_LIMIT_MS / 1000:g} s",
         [f"{r['name']} {request_ms(r):.0f} ms" for r in late], 20)
    show(f"broken inputs holding the request > {BROKEN_HOLD_MS / 1000:g} s",
         [f"{r['name']} {request_ms(r):.0f} ms" for r in broken_slow], 20)
    show("main data changed", [r["name"] for r in changed])
    show("stray files", [f"{r['name']}: {r['stray']}" for r in stray])
    show("harness errors", [f"{r['name']}: {r.get('note', '')}" for r in errors])
    if with_memory:
        peak = max(with_memory, key=lambda r: int(r["peak_ws_kb"]))
        print(f"  {'peak working set':<48} {int(peak['peak_ws_kb']) / 1024:.0f} MB "
              f"({peak['name']})")
    print("  10 worst by time:")
    for r in sorted(results, key=request_ms, reverse=True)[:10]:
        print(f"      {request_ms(r):8.0f} ms  {r['outcome']:<13} {r['name']}")
    print("  10 worst by memory:")
    for r in sorted(with_memory, key=lambda r: int(r["peak_ws_kb"]), reverse=True)[:10]:
        print(f"      {int(r['peak_ws_kb']) / 1024:8.0f} MB  {r['name']}")

    wrongly_refused = []
    if verdicts is None:
        print("  container probe: not run (no native probe_corpus)")
    else:
        by_verdict = {}
        for r in results:
            verdict = verdicts[r["name"]][0]
            r["probe"] = verdict
            r["probe_reason"] = verdicts[r["name"]][1]
            by_verdict[verdict] = by_verdict.get(verdict, 0) + 1
        wrongly_refused = [r for r in results if r["expected"] == "valid" and
                           r["probe"] == "undecodable"]
        refused = [r for r in results if r["probe"] == "undecodable"]
        print("  container probe: " + ", ".join(f"{v} {k}" for k, v in sorted(by_verdict.items())))
        show("valid clips the probe would refuse", [r["name"] for r in wrongly_refused])
        show("refused by the probe, yet DirectShow got a frame",
             [f"{r['name']} ({r['probe_reason']})" for r in refused if r["frame"] == "yes"], 10)
        saved = sum(request_ms(r) for r in refused if request_ms(r) > BROKEN_HOLD_MS)
        print(f"  {'refused by the probe, held the request > 1 s':<48} "
              f"{sum(request_ms(r) > BROKEN_HOLD_MS for r in refused)} ({saved / 1000:.0f} s)")

    columns = ["name", "kind", "expected", "outcome", "exit", "request_ms", "wall_ms",
               "peak_ws_kb", "threads", "data_changed", "stray", "frame", "probe",
               "probe_reason", "note"]
    with open(tsv, "w", newline="") as f:
        writer = csv.DictWriter(f, columns, delimiter="\t", extrasaction="ignore", restval="")
        writer.writeheader()
        writer.writerows(results)
    print(f"  all results: {tsv}")

    # The criteria. Each line says what is asserted; the run fails unless all hold.
    criteria = [
        ("no crash, during a request or at exit", len(crashes)),
        (f"every request within {REQUEST_LIMIT_MS / 1000:g} s (capture deadline + 1 s)",
         len(late)),
        ("no main data changed", len(changed)),
        ("no stray files", len(stray)),
        ("no harness error", len(errors)),
        ("no valid clip refused by the container probe", len(wrongly_refused)),
    ]
    print("criteria:")
    for text, failures in criteria:
        print(f"  {'PASS' if failures == 0 else 'FAIL'}  {text}"
              + ("" if failures == 0 else f"  ({failures})"))
    return all(failures == 0 for _, failures in criteria)


def command_run(args):
    rows = read_manifest(args.corpus)
    if args.subset:
        subset = set(load_subset())
        rows = [r for r in rows if r["name"] in subset]
    bitness = os.path.basename(os.path.normpath(args.build))
    work = os.path.join(wine_prefix(args.state), "drive_c", "windows", "temp", "kadrix-robust")
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    out_dir = os.path.join(args.build, "robustness")
    tiles_dir = os.path.join(out_dir, "tiles-subset" if args.subset else "tiles")
    shutil.rmtree(tiles_dir, ignore_errors=True)
    os.makedirs(tiles_dir)
    tiles = winpath(tiles_dir)

    verdicts = probe_verdicts(args.probe, args.corpus, [r["name"] for r in rows])
    print(f"corpus-runner: {len(rows)} inputs, {args.jobs} at a time, {bitness}")
    results = [None] * len(rows)
    started = time.monotonic()
    with concurrent.futures.ThreadPoolExecutor(max_workers=args.jobs) as pool:
        futures = {pool.submit(run_one, args, work, tiles, i, row): i
                   for i, row in enumerate(rows)}
        for done, future in enumerate(concurrent.futures.as_completed(futures), 1):
            r = future.result()
            results[futures[future]] = r
            if r["outcome"] not in ("tile", "failed") or done % 50 == 0:
                print(f"  [{done}/{len(rows)}] {r['name']}: {r['outcome']}, "
                      f"{request_ms(r):.0f} ms", flush=True)
    print(f"corpus-runner: {time.monotonic() - started:.0f} s")
    shutil.rmtree(work, ignore_errors=True)
    tsv = os.path.join(out_dir, "corpus-subset.tsv" if args.subset else "corpus-run.tsv")
    return 0 if report(results, verdicts, tsv, bitness) else 1


GROWTH = {  # what counts as growth from the first figures to the last, beyond noise
    "handles": lambda a, b: b - a > max(20, a // 5),
    "gdi": lambda a, b: b - a > 10,
    "user": lambda a, b: b - a > 5,
    "private_kb": lambda a, b: b - a > max(32 << 10, a // 4),
    "threads": lambda a, b: b - a > 2,
}


def command_soak(args):
    rows = [r for r in read_manifest(args.corpus)
            if r["kind"] != "sparse" and r["name"] != "size-8k.mp4"]
    good = [r for r in rows if r["expected"] == "valid"]
    bad = [r for r in rows if r["expected"] != "valid"]
    if not good or not bad:
        sys.exit("corpus-runner: the soak needs valid and broken inputs in the corpus")
    rng = random.Random("soak")
    chosen = [rng.choice(good if rng.random() < 0.6 else bad) for _ in range(SOAK_REQUESTS)]
    folder = os.path.join(wine_prefix(args.state), "drive_c", "windows", "temp", "kadrix-soak")
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    videos = []
    for i, row in enumerate(chosen):
        # Each request its own file, so each one captures.
        target = os.path.join(folder, f"s{i:03d}-{row['name']}")
        copy_input(os.path.join(args.corpus, row["name"]), target)
        videos.append(winpath(target))
    tiles_dir = os.path.join(args.build, "robustness", "tiles-soak")
    shutil.rmtree(tiles_dir, ignore_errors=True)
    os.makedirs(tiles_dir)
    broken = sum(r["expected"] != "valid" for r in chosen)
    print(f"soak ({os.path.basename(os.path.normpath(args.build))}): {SOAK_REQUESTS} requests "
          f"in one process, {SOAK_REQUESTS - broken} valid and {broken} other inputs")
    code, wall, out, err = run_thumb(args.build, args.state, videos, winpath(tiles_dir),
                                     SOAK_REQUESTS * 12, SOAK_EVERY)
    shutil.rmtree(folder, ignore_errors=True)
    outcome = classify(code, out, err)
    stats = parse_stats(out)
    print(f"  {'requests':>8} {'handles':>8} {'gdi':>5} {'user':>5} {'private MB':>11} "
          f"{'peak WS MB':>11} {'threads':>8}")
    for s in stats:
        print(f"  {s['requests']:>8} {s['handles']:>8} {s['gdi']:>5} {s['user']:>5} "
              f"{int(s['private_kb']) / 1024:>11.1f} {int(s['peak_ws_kb']) / 1024:>11.1f} "
              f"{s['threads']:>8}")
    times = [float(m.group("ms")) for m in (*REQUEST.finditer(out), *FAILED.finditer(out))]
    print(f"  wall {wall:.0f} s, exit {code if code is not None else 'killed'} ({outcome}), "
          f"{len(times)} requests answered, {sum(t > REQUEST_LIMIT_MS for t in times)} over "
          f"{REQUEST_LIMIT_MS / 1000:g} s, slowest {max(times, default=0):.0f} ms")
    if len(stats) < 2 or outcome not in ("tile", "failed"):
        print(f"verdict: the soak did not finish ({outcome}, {len(stats)} figure lines)")
        return 1
    first, last = stats[0], stats[-1]
    span = int(last["requests"]) - int(first["requests"])
    grew = [f"{key} {first[key]} -> {last[key]} "
            f"({(int(last[key]) - int(first[key])) / span:+.1f} per request)"
            for key, test in GROWTH.items() if test(int(first[key]), int(last[key]))]
    print("verdict: " + ("growth in " + ", ".join(grew) if grew else
                         f"no growth beyond noise from request {first['requests']} to "
                         f"{last['requests']}"))
    return 0


def main():
    parser = argparse.ArgumentParser(usage=__doc__.split("\n\n")[1])
    parser.add_argument("command", choices=["run", "soak"])
    parser.add_argument("build")
    parser.add_argument("corpus")
    parser.add_argument("--subset", action="store_true")
    parser.add_argument("--jobs", type=int, default=1)
    parser.add_argument("--probe")
    args = parser.parse_args()
    args.build = os.path.abspath(args.build)
    args.corpus = os.path.abspath(args.corpus)
    args.state = os.path.abspath(os.environ.get("KADRIX_WINE_STATE") or
                                 os.path.join(args.build, "wine"))
    if args.jobs < 1:
        parser.error("--jobs needs at least 1")
    sys.exit(command_run(args) if args.command == "run" else command_soak(args))


if __name__ == "__main__":
    main()
