#!/usr/bin/python3
"""The import's speed on the target beside the Linux build, as one table.

Runs `ddsimport --repeat N --pref 0` (rows reversed, the host's default)
over 4096 x 4096 DDS files with two builds: the Linux x86-64 release build
and the 32-bit Windows build (ddsimport.exe with ddsimage.dll) under wine
through cmake/wine-run.sh.  Each build runs on one thread
(DDSIMAGE_THREADS=1) and on the system's threads, under three conditions:
free (nothing of ours beside it), another core kept busy by a loop pinned
to it, and the import pinned to one core.  The table holds, per file, the
median MPix/s of each build on one thread and on its threads with i686 over
x86-64 (free), and each build's threads over one thread under each
condition.  Other programs running at the same time move every number; the
table gives the load average before and after.

    bench/target_speed.py [--repeat N] [--rounds R] [--out FILE] [FILE.dds ...]

The default files are those the benchmark writes:
    build/bench/bin/ddsimage_bench --benchmark_filter='import/.*/4096'
The Windows build: cmake --preset windows && cmake --build --preset windows -j2
(or only its ddsimport target, which builds the DLL too).
Standard library only.
"""

import argparse
import datetime
import errno
import glob
import os
import platform
import re
import statistics
import subprocess
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))

# A file's line and the summary line of `ddsimport --repeat`.
TIME = r"([0-9.]+) ms \(([0-9.]+) MPix/s\)"
FILE_LINE = re.compile(r"^(.*): (\d+) x (\d+) (RGBA?) best " + TIME + ", median " + TIME + r"$")
SUMMARY_LINE = re.compile(r"^imported (\d+) of (\d+) files \d+ times?, (\d+) pixels: best " + TIME +
                          ", median " + TIME + r"$")
ALL_FILES = "all files"

CONDITIONS = [("free", "free"), ("busy", "other core busy"), ("pinned", "pinned to one core")]
THREADS = [("1", "1 thread"), ("all", "threads")]
THREADS_LABEL = dict(THREADS)


def parse_arguments():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("files", nargs="*", help="DDS files (default: build/bench/bench/files/*_4096x4096.dds)")
    parser.add_argument("--repeat", type=int, default=5, help="imports of each file a run, at least 3 (default 5)")
    parser.add_argument("--rounds", type=int, default=3,
                        help="runs of every build, thread count and condition, one after another in turn; the "
                             "table takes the median of their medians (default 3)")
    parser.add_argument("--linux", default=os.path.join(ROOT, "build/release/bin/ddsimport"),
                        help="the x86-64 ddsimport (default build/release/bin/ddsimport)")
    parser.add_argument("--windows", default=os.path.join(ROOT, "build/windows/bin/ddsimport.exe"),
                        help="the i686 ddsimport.exe, ddsimage.dll beside it (default build/windows/bin)")
    parser.add_argument("--wine-prefix", default=os.path.join(ROOT, "build/windows/wineprefix"),
                        help="the wine prefix (default that of the windows presets)")
    parser.add_argument("--busy-cpu", type=int, default=1, help="the core the busy loop is pinned to (default 1)")
    parser.add_argument("--pin-cpu", type=int, default=0, help="the core the pinned import runs on (default 0)")
    parser.add_argument("--out", default=os.path.join(ROOT, "bench/results/target_speed.md"),
                        help="the Markdown file to write (default bench/results/target_speed.md)")
    arguments = parser.parse_args()
    if arguments.repeat < 3:
        parser.error("--repeat must be at least 3: the medians need three imports")
    if arguments.rounds < 1:
        parser.error("--rounds must be at least 1")
    if not arguments.files:
        arguments.files = sorted(glob.glob(os.path.join(ROOT, "build/bench/bench/files/*_4096x4096.dds")))
    if not arguments.files:
        parser.error("no files: run build/bench/bin/ddsimage_bench --benchmark_filter='import/.*/4096' "
                     "to write them, or name some")
    return arguments


def format_name(path):
    name = os.path.basename(path)
    return re.sub(r"(_4096x4096)?\.dds$", "", name)


def environment(threads, arguments):
    env = dict(os.environ)
    env.pop("DDSIMAGE_THREADS", None)
    if threads == "1":
        env["DDSIMAGE_THREADS"] = "1"
    env["WINEPREFIX"] = arguments.wine_prefix
    env.setdefault("DDSIMAGE_WINEDEBUG", "-all")
    return env


def build_command(build, arguments):
    if build == "i686":
        return [os.path.join(ROOT, "cmake/wine-run.sh"), arguments.windows]
    return [arguments.linux]


def parse_rates(output):
    """Median MPix/s by format, with ALL_FILES for the summary."""
    rates = {}
    for line in output.replace("\r", "").splitlines():
        match = FILE_LINE.match(line)
        if match:
            rates[format_name(match.group(1))] = float(match.group(8))
            continue
        match = SUMMARY_LINE.match(line)
        if match:
            rates[ALL_FILES] = float(match.group(7))
    return rates


def run_import(build, threads, condition, arguments):
    """Median MPix/s by format of one run of ddsimport --repeat."""
    command = build_command(build, arguments) + ["--repeat", str(arguments.repeat), "--pref", "0"]
    command += arguments.files
    if condition == "pinned":
        command = ["taskset", "-c", str(arguments.pin_cpu)] + command
    busy = None
    if condition == "busy":
        busy = subprocess.Popen(["taskset", "-c", str(arguments.busy_cpu), "sh", "-c", "while :; do :; done"])
    try:
        result = subprocess.run(command, env=environment(threads, arguments), capture_output=True, text=True,
                                check=False)
    finally:
        if busy is not None:
            busy.kill()
            busy.wait()
    rates = parse_rates(result.stdout)
    if ALL_FILES not in rates:
        sys.exit("target_speed.py: %s gave no summary (exit %d):\n%s%s" %
                 (" ".join(command), result.returncode, result.stdout, result.stderr))
    print("%s, %s, %s: %.1f MPix/s over all files" % (build, THREADS_LABEL[threads], condition, rates[ALL_FILES]),
          file=sys.stderr)
    return rates


def windows_build_problem(arguments):
    """Why the i686 build cannot run here; None when it can.  The first run
    also starts the wine server unpinned, so that no pinned run starts it."""
    if not os.path.isfile(arguments.windows):
        return "%s is missing (cmake --preset windows && cmake --build --preset windows)" % arguments.windows
    command = build_command("i686", arguments) + ["--version"]
    try:
        result = subprocess.run(command, env=environment("all", arguments), capture_output=True, text=True,
                                timeout=600, check=False)
    except subprocess.TimeoutExpired:
        return "%s did not end within 10 minutes" % " ".join(command)
    if result.returncode != 0 or "ddsimport" not in result.stdout:
        said = (result.stderr.strip().splitlines() or ["no output"])[-1]
        return "wine cannot run it (exit %d: %s)%s" % (result.returncode, said, kernel_problem())
    return None


def kernel_problem():
    """Why 32-bit programs do not start, when the kernel refuses them."""
    loader = "/usr/lib/wine/wine"  # wine32's loader, a 32-bit x86 program
    try:
        subprocess.run([loader, "--version"], capture_output=True, timeout=60, check=False)
    except OSError as error:
        if error.errno == errno.ENOEXEC:
            return ("; the kernel runs no 32-bit x86 program (%s: %s): its 32-bit support is off, which "
                    "ia32_emulation=on on the kernel's command line turns on" % (loader, error.strerror))
    except subprocess.TimeoutExpired:
        pass
    return ""


def median_by_format(rounds):
    """{format: the median of the rounds' MPix/s}, for formats every round has."""
    names = set.intersection(*(set(rates) for rates in rounds))
    return {name: statistics.median(rates[name] for rates in rounds) for name in names}


def cell(value):
    return "-" if value is None else "%.0f" % value


def ratio(numerator, denominator):
    return "-" if numerator is None or denominator is None or denominator == 0 else "%.2f" % (
        numerator / denominator)


def table(rates, formats):
    """rates[(build, threads, condition)] = {format: MPix/s}."""
    def rate(build, threads, condition, name):
        return rates.get((build, threads, condition), {}).get(name)

    header = ["format", "x86-64 1 thread", "i686 1 thread", "i686/x86-64", "x86-64 threads", "i686 threads",
              "i686/x86-64"]
    for build in ("x86-64", "i686"):
        header += ["%s threads/1, %s" % (build, label) for _, label in CONDITIONS]
    lines = ["| " + " | ".join(header) + " |", "|" + "---|" * len(header)]
    for name in formats + [ALL_FILES]:
        row = [name]
        for threads, _ in THREADS:
            linux = rate("x86-64", threads, "free", name)
            windows = rate("i686", threads, "free", name)
            row += [cell(linux), cell(windows), ratio(windows, linux)]
        for build in ("x86-64", "i686"):
            row += [ratio(rate(build, "all", condition, name), rate(build, "1", condition, name))
                    for condition, _ in CONDITIONS]
        lines.append("| " + " | ".join(row) + " |")
    return "\n".join(lines)


def machine():
    model = platform.processor() or "unknown processor"
    try:
        with open("/proc/cpuinfo", encoding="utf-8") as cpuinfo:
            for line in cpuinfo:
                if line.startswith("model name"):
                    model = line.split(":", 1)[1].strip()
                    break
    except OSError:
        pass
    return "%s, %d processors (os.cpu_count)" % (model, os.cpu_count() or 0)


def load_average():
    try:
        with open("/proc/loadavg", encoding="utf-8") as loadavg:
            return loadavg.read().split()[0]
    except OSError:
        return "?"


def main():
    arguments = parse_arguments()
    load_before = load_average()
    problem = windows_build_problem(arguments)
    builds = ["x86-64"] + ([] if problem else ["i686"])
    if problem:
        print("target_speed.py: i686 not measured: " + problem, file=sys.stderr)
    # Every configuration once a round, so that a disturbance of the machine
    # that lasts a while falls on one round of each rather than on all
    # rounds of one.
    runs = {}
    for _ in range(arguments.rounds):
        for condition, _ in CONDITIONS:
            for build in builds:
                for threads, _ in THREADS:
                    runs.setdefault((build, threads, condition), []).append(
                        run_import(build, threads, condition, arguments))
    rates = {key: median_by_format(rounds) for key, rounds in runs.items()}
    formats = [format_name(path) for path in arguments.files]
    load_after = load_average()

    notes = [
        "# Import speed: x86-64 and i686 (wine)",
        "",
        "%s; %s.  `bench/target_speed.py --repeat %d --rounds %d` over %d files: `ddsimport --repeat %d "
        "--pref 0` (rows reversed, the host's default), median MPix/s of one import (open, information, "
        "image, close) over the repetitions, and the median of that over %d rounds, each running every "
        "configuration in turn; \"all files\" is their pixels over the sum of their median times.  "
        "x86-64: `%s`; i686: `cmake/wine-run.sh %s`.  1 thread: `DDSIMAGE_THREADS=1`; threads: the plug-in's "
        "own count.  Other core busy: `taskset -c %d sh -c 'while :; do :; done'` during the run; pinned: "
        "`taskset -c %d` before the command.  Columns up to the second i686/x86-64: free (no busy loop, not pinned).  "
        "Load average (1 minute) %s before the runs, %s after; other programs running at the time "
        "move every number." % (
            datetime.date.today().isoformat(), machine(), arguments.repeat, arguments.rounds, len(formats),
            arguments.repeat, arguments.rounds,
            os.path.relpath(arguments.linux, ROOT), os.path.relpath(arguments.windows, ROOT), arguments.busy_cpu,
            arguments.pin_cpu, load_before, load_after),
        "",
    ]
    if problem:
        notes += ["i686 not measured: %s." % problem, ""]
    text = "\n".join(notes) + "\n" + table(rates, formats) + "\n"
    os.makedirs(os.path.dirname(os.path.abspath(arguments.out)), exist_ok=True)
    with open(arguments.out, "w", encoding="utf-8") as out:
        out.write(text)
    print(text)


if __name__ == "__main__":
    main()
