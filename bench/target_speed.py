#!/usr/bin/python3
"""The import's speed on 32-bit x86 beside x86-64, like for like.

Runs `ddsimport --repeat N --pref 0` (rows reversed, the host's default)
over 4096 x 4096 DDS files with the i686 and the x86-64 build of the same
code on the same system, and divides the one by the other:

  Linux  the linux32 build (build/linux32/bin/ddsimport) and the release
         build (build/release/bin/ddsimport), both run natively; only where
         the kernel runs 32-bit programs: a build under emulation is never
         timed.
  wine   the 32-bit DLL (build/windows/bin/ddsimport.exe, ddsimage.dll) and
         the 64-bit one (build/windows64/bin), both under wine through
         cmake/wine-run.sh; only where wine's 32-bit loader runs.

A Windows build is never divided by a Linux one: wine's file reads cost
far more than Linux's, so such a ratio would measure wine.  Each build runs
on one thread (DDSIMAGE_THREADS=1) and on the system's threads; with
--conditions also beside a busy loop pinned to another core, and pinned to
one core.  The script says which systems it could run and why not the
others, and writes one table a system it ran.  Other programs running at
the same time move every number; the table gives the load average before
and after.

    bench/target_speed.py [--repeat N] [--rounds R] [--statistic best|median]
                          [--systems linux,wine] [--conditions free,busy,pinned]
                          [--out FILE] [FILE.dds ...]

The default files are those the benchmark writes:
    build/bench/bin/ddsimage_bench --benchmark_filter='import/.*/4096'
The builds: cmake --workflow --preset release; cmake --preset linux32 &&
cmake --build --preset linux32; cmake --preset windows && cmake --build
--preset windows; cmake --preset windows64 && cmake --build --preset windows64.
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
WINE_RUN = os.path.join(ROOT, "cmake/wine-run.sh")

# A file's line and the summary line of `ddsimport --repeat`.
TIME = r"([0-9.]+) ms \(([0-9.]+) MPix/s\)"
FILE_LINE = re.compile(r"^(.*): (\d+) x (\d+) (RGBA?) best " + TIME + ", median " + TIME + r"$")
SUMMARY_LINE = re.compile(r"^imported (\d+) of (\d+) files \d+ times?, (\d+) pixels: best " + TIME +
                          ", median " + TIME + r"$")
# The MPix/s groups of the best and of the median time in each line.
FILE_GROUP = {"best": 6, "median": 8}
SUMMARY_GROUP = {"best": 5, "median": 7}
ALL_FILES = "all files"

SYSTEMS = {"linux": "Linux, native", "wine": "Windows DLLs under wine"}
BUILDS = ("x86-64", "i686")
CONDITIONS = {"free": "free", "busy": "other core busy", "pinned": "pinned to one core"}
THREADS = [("1", "1 thread"), ("all", "threads")]
THREADS_LABEL = dict(THREADS)


def parse_arguments():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("files", nargs="*", help="DDS files (default: build/bench/bench/files/*_4096x4096.dds)")
    parser.add_argument("--repeat", type=int, default=5, help="imports of each file a run, at least 3 (default 5)")
    parser.add_argument("--rounds", type=int, default=3,
                        help="runs of every build, thread count and condition, one after another in turn "
                             "(default 3)")
    parser.add_argument("--statistic", choices=("best", "median"), default="median",
                        help="of a run's imports, and then of the rounds: the fastest, or the median "
                             "(default median)")
    parser.add_argument("--systems", default="linux,wine",
                        help="the systems to try, of linux and wine (default both)")
    parser.add_argument("--conditions", default="free",
                        help="of free, busy (a busy loop pinned to --busy-cpu) and pinned (the import pinned "
                             "to --pin-cpu); free is always run (default free)")
    parser.add_argument("--linux64", default=os.path.join(ROOT, "build/release/bin/ddsimport"),
                        help="the x86-64 Linux ddsimport (default build/release/bin/ddsimport)")
    parser.add_argument("--linux32", default=os.path.join(ROOT, "build/linux32/bin/ddsimport"),
                        help="the i686 Linux ddsimport (default build/linux32/bin/ddsimport)")
    parser.add_argument("--windows64", default=os.path.join(ROOT, "build/windows64/bin/ddsimport.exe"),
                        help="the x86-64 ddsimport.exe, its ddsimage.dll beside it (default build/windows64/bin)")
    parser.add_argument("--windows32", default=os.path.join(ROOT, "build/windows/bin/ddsimport.exe"),
                        help="the i686 ddsimport.exe, its ddsimage.dll beside it (default build/windows/bin)")
    parser.add_argument("--busy-cpu", type=int, default=1, help="the core the busy loop is pinned to (default 1)")
    parser.add_argument("--pin-cpu", type=int, default=0, help="the core the pinned import runs on (default 0)")
    parser.add_argument("--out", default=os.path.join(ROOT, "bench/results/target_speed.md"),
                        help="the Markdown file to write (default bench/results/target_speed.md)")
    arguments = parser.parse_args()
    if arguments.repeat < 3:
        parser.error("--repeat must be at least 3: the medians need three imports")
    if arguments.rounds < 1:
        parser.error("--rounds must be at least 1")
    arguments.systems = [name for name in arguments.systems.split(",") if name]
    for name in arguments.systems:
        if name not in SYSTEMS:
            parser.error("--systems: '%s' is not one of %s" % (name, ", ".join(SYSTEMS)))
    conditions = [name for name in arguments.conditions.split(",") if name]
    for name in conditions:
        if name not in CONDITIONS:
            parser.error("--conditions: '%s' is not one of %s" % (name, ", ".join(CONDITIONS)))
    arguments.conditions = ["free"] + [name for name in CONDITIONS if name != "free" and name in conditions]
    if not arguments.files:
        arguments.files = sorted(glob.glob(os.path.join(ROOT, "build/bench/bench/files/*_4096x4096.dds")))
    if not arguments.files:
        parser.error("no files: run build/bench/bin/ddsimage_bench --benchmark_filter='import/.*/4096' "
                     "to write them, or name some")
    return arguments


def program(system, build, arguments):
    return {
        ("linux", "x86-64"): arguments.linux64,
        ("linux", "i686"): arguments.linux32,
        ("wine", "x86-64"): arguments.windows64,
        ("wine", "i686"): arguments.windows32,
    }[(system, build)]


def wine_prefix(build, arguments):
    """The prefix of the build's preset, as .ci/windows.sh and the presets use."""
    folder = os.path.dirname(os.path.dirname(os.path.abspath(program("wine", build, arguments))))
    return os.path.join(folder, "wineprefix")


def command(system, build, arguments):
    if system == "wine":
        return [WINE_RUN, program(system, build, arguments)]
    return [program(system, build, arguments)]


def environment(system, build, threads, arguments):
    env = dict(os.environ)
    env.pop("DDSIMAGE_THREADS", None)
    if threads == "1":
        env["DDSIMAGE_THREADS"] = "1"
    if system == "wine":
        env["WINEPREFIX"] = wine_prefix(build, arguments)
        env.setdefault("DDSIMAGE_WINEDEBUG", "-all")
    return env


def format_name(path):
    name = os.path.basename(path)
    return re.sub(r"(_4096x4096)?\.dds$", "", name)


def parse_rates(output, statistic):
    """MPix/s by format (the best or the median import), with ALL_FILES for the summary."""
    rates = {}
    for line in output.replace("\r", "").splitlines():
        match = FILE_LINE.match(line)
        if match:
            rates[format_name(match.group(1))] = float(match.group(FILE_GROUP[statistic]))
            continue
        match = SUMMARY_LINE.match(line)
        if match:
            rates[ALL_FILES] = float(match.group(SUMMARY_GROUP[statistic]))
    return rates


def run_import(system, build, threads, condition, arguments):
    """MPix/s by format of one run of ddsimport --repeat."""
    run = command(system, build, arguments) + ["--repeat", str(arguments.repeat), "--pref", "0"]
    run += arguments.files
    if condition == "pinned":
        run = ["taskset", "-c", str(arguments.pin_cpu)] + run
    busy = None
    if condition == "busy":
        busy = subprocess.Popen(["taskset", "-c", str(arguments.busy_cpu), "sh", "-c", "while :; do :; done"])
    try:
        result = subprocess.run(run, env=environment(system, build, threads, arguments), capture_output=True,
                                text=True, check=False)
    finally:
        if busy is not None:
            busy.kill()
            busy.wait()
    rates = parse_rates(result.stdout, arguments.statistic)
    if ALL_FILES not in rates:
        sys.exit("target_speed.py: %s gave no summary (exit %d):\n%s%s" %
                 (" ".join(run), result.returncode, result.stdout, result.stderr))
    print("%s %s, %s, %s: %.1f MPix/s over all files" %
          (system, build, THREADS_LABEL[threads], condition, rates[ALL_FILES]), file=sys.stderr)
    return rates


def elf_kind(path):
    """(class, machine) of an ELF file: (2, 62) for x86-64, (1, 3) for 32-bit x86."""
    with open(path, "rb") as elf:
        header = elf.read(20)
    if len(header) < 20 or header[:4] != b"\x7fELF":
        return None
    return header[4], int.from_bytes(header[18:20], "little")


def pe_machine(path):
    """The machine field of a PE file: 0x14c for 32-bit x86, 0x8664 for x86-64."""
    with open(path, "rb") as pe:
        data = pe.read(4096)
    if len(data) < 64 or data[:2] != b"MZ":
        return None
    offset = int.from_bytes(data[60:64], "little")
    if offset + 6 > len(data) or data[offset:offset + 4] != b"PE\0\0":
        return None
    return int.from_bytes(data[offset + 4:offset + 6], "little")


def shown(path):
    """A path as the table shows it: relative to the project where it is inside it."""
    relative = os.path.relpath(path, ROOT)
    return path if relative.startswith("..") else relative


def kernel_problem(path):
    """Why the kernel does not start the 32-bit x86 program at `path` natively; None when it does."""
    try:
        subprocess.run([path, "--version"], capture_output=True, timeout=600, check=False)
    except OSError as error:
        if error.errno == errno.ENOEXEC:
            return ("the kernel runs no 32-bit x86 program (%s: %s): its IA-32 emulation is off, which "
                    "ia32_emulation=on on the kernel's command line turns on" % (shown(path), error.strerror))
        return "%s cannot be run: %s" % (shown(path), error.strerror)
    except subprocess.TimeoutExpired:
        return "%s --version did not end within 10 minutes" % shown(path)
    return None


def linux_problem(arguments):
    """Why the Linux pair cannot be timed here; None when it can."""
    for build, expected, how in (("x86-64", (2, 62), "cmake --workflow --preset release"),
                                 ("i686", (1, 3), "cmake --preset linux32 && cmake --build --preset linux32")):
        path = program("linux", build, arguments)
        if not os.path.isfile(path):
            return "%s is missing (%s)" % (shown(path), how)
        if elf_kind(path) != expected:
            return "%s is not a %s Linux program" % (shown(path), build)
    # Natively or not at all: never through qemu-i386, whose speed is not the code's.
    return kernel_problem(arguments.linux32)


def wine_problem(arguments):
    """Why the wine pair cannot be timed here; None when it can.  The first run
    also starts each prefix's wine server unpinned, so that no pinned run starts it."""
    for build, expected, preset in (("x86-64", 0x8664, "windows64"), ("i686", 0x14C, "windows")):
        path = program("wine", build, arguments)
        if not os.path.isfile(path):
            return "%s is missing (cmake --preset %s && cmake --build --preset %s)" % (shown(path), preset, preset)
        if pe_machine(path) != expected:
            return "%s is not a %s Windows program" % (shown(path), build)
    problems = []
    for build in BUILDS:
        run = command("wine", build, arguments) + ["--version"]
        try:
            result = subprocess.run(run, env=environment("wine", build, "all", arguments), capture_output=True,
                                    text=True, timeout=600, check=False)
        except subprocess.TimeoutExpired:
            problems.append("%s did not end within 10 minutes" % " ".join(run))
            continue
        if result.returncode == 0 and "ddsimport" in result.stdout:
            continue
        said = (result.stderr.strip().splitlines() or ["no output"])[-1]
        problem = "wine cannot run the %s build (exit %d: %s)" % (build, result.returncode, said)
        loader = "/usr/lib/wine/wine"  # wine32's loader, a 32-bit x86 program
        if build == "i686" and os.path.exists(loader):
            problem += "; " + (kernel_problem(loader) or "its loader runs")
        problems.append(problem)
    return "; ".join(problems) or None


def stop_wine(arguments):
    """Stops the wine servers of the prefixes used, which cmake/wine-run.sh leaves running for 10 minutes."""
    for build in BUILDS:
        prefix = wine_prefix(build, arguments)
        if not os.path.isdir(prefix):
            continue
        env = dict(os.environ, WINEPREFIX=prefix)
        try:
            subprocess.run(["wineserver", "-k"], env=env, capture_output=True, timeout=60, check=False)
        except (OSError, subprocess.TimeoutExpired):
            pass


def combine(rounds, statistic):
    """{format: the best or the median of the rounds' MPix/s}, for formats every round has."""
    names = set.intersection(*(set(rates) for rates in rounds))
    pick = max if statistic == "best" else statistics.median
    return {name: pick([rates[name] for rates in rounds]) for name in names}


def cell(value):
    return "-" if value is None else "%.0f" % value


def ratio(numerator, denominator):
    return "-" if numerator is None or denominator is None or denominator == 0 else "%.2f" % (
        numerator / denominator)


def table(rates, formats, conditions):
    """rates[(build, threads, condition)] = {format: MPix/s}, for one system."""
    def rate(build, threads, condition, name):
        return rates.get((build, threads, condition), {}).get(name)

    # Threads over one thread under each condition, when more than the free one ran.
    scaling = conditions if len(conditions) > 1 else []
    header = ["format"]
    for _, label in THREADS:
        header += ["x86-64, %s" % label, "i686, %s" % label, "i686 / x86-64"]
    for build in BUILDS:
        header += ["%s threads / 1, %s" % (build, CONDITIONS[condition]) for condition in scaling]
    lines = ["| " + " | ".join(header) + " |", "|" + "---|" * len(header)]
    for name in formats + [ALL_FILES]:
        row = [name]
        for threads, _ in THREADS:
            wide = rate("x86-64", threads, "free", name)
            narrow = rate("i686", threads, "free", name)
            row += [cell(wide), cell(narrow), ratio(narrow, wide)]
        for build in BUILDS:
            row += [ratio(rate(build, "all", condition, name), rate(build, "1", condition, name))
                    for condition in scaling]
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
    problems = {}
    systems = []
    for system in arguments.systems:
        problem = linux_problem(arguments) if system == "linux" else wine_problem(arguments)
        if problem:
            problems[system] = problem
            print("target_speed.py: %s not timed: %s" % (SYSTEMS[system], problem), file=sys.stderr)
        else:
            systems.append(system)
            print("target_speed.py: %s: timing i686 against x86-64" % SYSTEMS[system], file=sys.stderr)
    try:
        if not systems:
            sys.exit("target_speed.py: no system here runs both builds of a pair; nothing timed")
        # Every configuration once a round, so that a disturbance of the
        # machine that lasts a while falls on one round of each rather than
        # on all rounds of one.
        runs = {}
        for _ in range(arguments.rounds):
            for condition in arguments.conditions:
                for system in systems:
                    for build in BUILDS:
                        for threads, _ in THREADS:
                            runs.setdefault((system, build, threads, condition), []).append(
                                run_import(system, build, threads, condition, arguments))
    finally:
        if "wine" in arguments.systems:
            stop_wine(arguments)
    rates = {key: combine(rounds, arguments.statistic) for key, rounds in runs.items()}
    formats = [format_name(path) for path in arguments.files]
    load_after = load_average()

    how = {
        "linux": "x86-64: `%s`; i686: `%s`, both natively" % (shown(arguments.linux64), shown(arguments.linux32)),
        "wine": "x86-64: `cmake/wine-run.sh %s`; i686: `cmake/wine-run.sh %s`, each in its preset's prefix" % (
            shown(arguments.windows64), shown(arguments.windows32)),
    }
    statistic = "fastest" if arguments.statistic == "best" else "median"
    notes = [
        "# Import speed: i686 against x86-64 on the same system",
        "",
        "%s; %s.  `bench/target_speed.py --repeat %d --rounds %d --statistic %s --conditions %s` over %d "
        "files: `ddsimport --repeat %d --pref 0` (rows reversed, the host's default), the %s import "
        "(open, information, image, close) of each run in MPix/s, and the %s of that over %d rounds, each "
        "running every configuration in turn; \"all files\" is their pixels over the sum of their times.  "
        "1 thread: `DDSIMAGE_THREADS=1`; threads: the plug-in's own count.  Load average (1 minute) %s "
        "before the runs, %s after; other programs running at the time move every number." % (
            datetime.date.today().isoformat(), machine(), arguments.repeat, arguments.rounds, arguments.statistic,
            ",".join(arguments.conditions), len(formats), arguments.repeat, statistic, statistic,
            arguments.rounds, load_before, load_after),
        "",
    ]
    if "busy" in arguments.conditions or "pinned" in arguments.conditions:
        notes += ["Other core busy: `taskset -c %d sh -c 'while :; do :; done'` during the run; pinned: "
                  "`taskset -c %d` before the command; the columns up to the second i686 / x86-64 are free "
                  "(no busy loop, not pinned)." % (arguments.busy_cpu, arguments.pin_cpu), ""]
    for system in arguments.systems:
        notes += ["## %s" % SYSTEMS[system], ""]
        if system in problems:
            notes += ["Not timed: %s." % problems[system], ""]
            continue
        system_rates = {key[1:]: value for key, value in rates.items() if key[0] == system}
        notes += [how[system] + ".", "", table(system_rates, formats, arguments.conditions), ""]
    text = "\n".join(notes)
    os.makedirs(os.path.dirname(os.path.abspath(arguments.out)), exist_ok=True)
    with open(arguments.out, "w", encoding="utf-8") as out:
        out.write(text)
    print(text)


if __name__ == "__main__":
    main()
