#!/usr/bin/env python3
"""Times VentrelConf's silent mode against what any durable write costs, and against crudini.

One run measures, in a local-layout folder laid out in a temporary folder:
  1. silent mode writing a model (300 and 301 in turn, so that every run really writes), against
     the durable-write floor (bench/durable_write.c: read the file, write a temporary file beside
     it, flush it, rename it over the original, flush the folder), and `crudini --set` on the same
     board file; silent mode opening the configuration without writing (`250`) against /bin/true;
  2. one edit of board files of growing size against the floor of any atomic edit of the same
     file (the same durable-write floor: read it whole, write a temporary, flush, rename, flush the
     folder), to show that a big file costs what replacing it safely costs, and that the cost grows
     linearly; and the memory the largest edit takes. `dd ... conv=fsync` of the file is shown
     beside them: it copies in place, with no temporary file, no rename and no folder flush, so it
     is less than any atomic edit can cost, and no limit applies to it.

It exits non-zero when a write's median is more than --write-limit times the durable floor's, an
open without a write more than --open-limit times /bin/true's, the largest edit more than
--big-limit times the atomic floor's, its memory beyond start-up more than --memory-limit times the file, when
the cost per megabyte of the largest file is not within --linear-factor of the smallest one's, or
when a run did not leave the board file as it should.

Standard library only. Usage: bench/silent_mode.py [build/linux/VentrelConf] [options]
"""

import argparse
import os
import random
import re
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

PRODUCT_FOLDER = "Zorvik - LAN PANORAMIC"
BOARD_NAME = "VENTREL_DLL.INI"
CATALOGUE_NAME = "VentrelConf.ini"
MIB = 1024 * 1024
GNU_TIME = "/usr/bin/time"

CATALOGUE_TEXT = (
    "; Models this installation offers, and the brand of the local layout.\r\n"
    "[Model]\r\nManufacturer=Dremont\r\n\r\n"
    "[VentrelV1]\r\nDISPLAY=Ventrel 2D\r\n\r\n"
    "[Ventrel3DV1]\r\nDISPLAY=Ventrel 3D (version 1)\r\n\r\n"
    "[Ventrel3DV2]\r\nDISPLAY=Ventrel 3D (version 2)\r\n"
)

BOARD_SECTION = '[BOARD]\r\nTYPE=300\r\nTYPE_SUB=300\r\nSERIAL="PX-0042 ; rev B"\r\n\r\n'

DRIVER_HEAD = (
    "; Settings of the panoramic unit's driver library.\r\n"
    "; Written by the driver at installation; VentrelConf changes only BOARD.\r\n\r\n"
    "[NETWORK]\r\nUNIT_ADDRESS = 192.168.10.20\r\nUNIT_PORT    = 5000\r\nTIMEOUT_MS   = 2500\r\n\r\n"
)

DRIVER_TAIL = "[ACQUISITION]\r\nEXPOSURE_KV=70\r\nEXPOSURE_MA=8\r\nCALIBRATION_FILE=calib\\unit0042.dat\r\n"


def small_board_text():
    return DRIVER_HEAD + BOARD_SECTION + DRIVER_TAIL


def big_board_text(size):
    """A board file of about `size` bytes: the driver's own settings plus a detector calibration
    of many sections, with BOARD halfway through so that finding it means reading half the file."""
    rng = random.Random(size)
    sections = []
    total = len(DRIVER_HEAD) + len(BOARD_SECTION) + len(DRIVER_TAIL)
    row = 0
    while total < size:
        defects = ",".join(str(rng.randrange(3072)) for _ in range(rng.randrange(1, 6)))
        section = (
            f"[PIXEL_CORRECTION_{row:06d}]\r\n"
            f"; detector row {row}, calibrated {2019 + row % 5}-{1 + row % 12:02d}-{1 + row % 28:02d}\r\n"
            f"GAIN = {rng.uniform(0.9, 1.1):.6f}\r\n"
            f"OFFSET = {rng.randrange(-40, 40)}\r\n"
            f"DARK_LEVEL={rng.randrange(200, 900)}\r\n"
            f'DEFECTS="{defects}"\r\n'
            "\r\n"
        )
        sections.append(section)
        total += len(section)
        row += 1
    half = len(sections) // 2
    return DRIVER_HEAD + "".join(sections[:half]) + BOARD_SECTION + "".join(sections[half:]) + DRIVER_TAIL


def after_write(board_text, model):
    """The board file once `model` (300 or 301) is written into BOARD_SECTION's board."""
    return board_text.replace("TYPE_SUB=300\r\n", f"TYPE_SUB={model}\r\n", 1)


class Layout:
    """The executable copied into a folder, beside the Dremont product folder. The copy takes the
    usual name whatever the build called it, since the locator derives the catalogue's name from it."""

    def __init__(self, root, exe):
        self.exe = os.path.join(root, "VentrelConf")
        self.data = os.path.join(root, PRODUCT_FOLDER)
        self.board = os.path.join(self.data, BOARD_NAME)
        os.makedirs(self.data)
        shutil.copy2(exe, self.exe)
        # The window module goes along, as installed: silent mode must not pay for it.
        module = os.path.join(os.path.dirname(exe), "VentrelConf-qt.so")
        if os.path.exists(module):
            shutil.copy2(module, root)
        write_bytes(os.path.join(self.data, CATALOGUE_NAME), CATALOGUE_TEXT)

    def temporary_files(self):
        return sorted(set(os.listdir(self.data)) - {BOARD_NAME, CATALOGUE_NAME})


def write_bytes(path, text):
    with open(path, "wb") as out:
        out.write(text.encode("latin-1"))


def read_bytes(path):
    with open(path, "rb") as source:
        return source.read().decode("latin-1")


_DEVNULL_ACTIONS = [
    (os.POSIX_SPAWN_OPEN, 0, os.devnull, os.O_RDONLY, 0),
    (os.POSIX_SPAWN_OPEN, 1, os.devnull, os.O_WRONLY, 0),
    (os.POSIX_SPAWN_OPEN, 2, os.devnull, os.O_WRONLY, 0),
]


def timed_run(argv):
    """Seconds from spawning `argv` to reaping it, and its exit status. posix_spawn and waitpid
    directly, so the harness adds as little as it can to what every command pays alike."""
    start = time.perf_counter()
    pid = os.posix_spawn(argv[0], argv, os.environ, file_actions=_DEVNULL_ACTIONS)
    _, status = os.waitpid(pid, 0)
    return time.perf_counter() - start, os.waitstatus_to_exitcode(status)


class Failure(Exception):
    pass


def check(condition, message):
    if not condition:
        raise Failure(message)


def ms(seconds):
    return seconds * 1000.0


def time_small_edit(args, root, tools, crudini):
    layout = Layout(os.path.join(root, "small"), args.exe)
    write_bytes(layout.board, small_board_text())
    durable_board = os.path.join(root, "durable", BOARD_NAME)
    os.makedirs(os.path.dirname(durable_board))
    write_bytes(durable_board, small_board_text())
    crudini_board = os.path.join(root, "crudini", BOARD_NAME)
    os.makedirs(os.path.dirname(crudini_board))
    write_bytes(crudini_board, small_board_text())

    samples = {"true": [], "durable": [], "silent": [], "open": [], "crudini": []}
    crudini_every = max(1, args.runs // args.crudini_runs)
    crudini_model = None
    for i in range(args.runs):
        model = "301" if i % 2 == 0 else "300"
        # 250 is no model: the program opens the configuration and stops short of writing, which
        # tells its start-up from the write. Status 1 says so.
        commands = [
            ("true", [tools.true], 0),
            ("durable", [tools.durable, durable_board], 0),
            ("silent", [layout.exe, model], 0),
            ("open", [layout.exe, "250"], 1),
        ]
        # Rotate which command goes first, so that none always runs on a warmer cache.
        shift = i % len(commands)
        for name, argv, expected in commands[shift:] + commands[:shift]:
            elapsed, status = timed_run(argv)
            check(status == expected, f"{' '.join(argv)} ended with status {status}")
            samples[name].append(elapsed)
        check(read_bytes(layout.board) == after_write(small_board_text(), model),
              f"silent mode did not write {model} as expected")
        if crudini and i % crudini_every == 0 and len(samples["crudini"]) < args.crudini_runs:
            elapsed, status = timed_run([crudini, "--set", crudini_board, "BOARD", "TYPE_SUB", model])
            check(status == 0, f"crudini ended with status {status}")
            samples["crudini"].append(elapsed)
            crudini_model = model
    if samples["crudini"]:
        check(re.search(rf"^TYPE_SUB\s*=\s*{crudini_model}\s*$", read_bytes(crudini_board), re.M),
              f"crudini did not write {crudini_model}")
    check(read_bytes(durable_board) == small_board_text(), "the durable floor changed its file")
    check(not layout.temporary_files(), f"left behind: {layout.temporary_files()}")
    return samples


def peak_memory_kb(argv):
    """Peak resident memory of `argv`, from GNU time, which forks it from a small process of its
    own (a child of this interpreter would count the interpreter's pages). None without it."""
    if not os.access(GNU_TIME, os.X_OK):
        return None
    result = subprocess.run([GNU_TIME, "-f", "%M"] + argv, stdout=subprocess.DEVNULL,
                            stderr=subprocess.PIPE, text=True, check=False)
    lines = result.stderr.strip().splitlines()
    return int(lines[-1]) if lines and lines[-1].isdigit() else None


def time_big_edits(args, root, tools):
    layout = Layout(os.path.join(root, "big"), args.exe)
    atomic_board = os.path.join(root, "atomic", BOARD_NAME)
    os.makedirs(os.path.dirname(atomic_board))
    copy = os.path.join(root, "dd", "copy")
    os.makedirs(os.path.dirname(copy))
    floor = min(timed_run([tools.true])[0] for _ in range(max(args.big_runs, 20)))
    dd = [tools.dd, f"if={layout.board}", f"of={copy}", "bs=1M", "conv=fsync", "status=none"]
    results = []
    memory = None
    for size_mb in args.sizes:
        text = big_board_text(int(size_mb * MIB))
        write_bytes(layout.board, text)
        write_bytes(atomic_board, text)
        size = os.path.getsize(layout.board)
        best = {"silent": None, "atomic": None, "dd": None}
        for i in range(args.big_runs):
            model = "301" if i % 2 == 0 else "300"
            runs = [("silent", [layout.exe, model]), ("atomic", [tools.durable, atomic_board]),
                    ("dd", dd)]
            # Rotate which goes first, so that none always runs on a warmer cache.
            shift = i % len(runs)
            for name, argv in runs[shift:] + runs[:shift]:
                elapsed, status = timed_run(argv)
                check(status == 0, f"{name} on {size_mb} MB ended with status {status}")
                best[name] = elapsed if best[name] is None else min(best[name], elapsed)
            check(read_bytes(layout.board) == after_write(text, model),
                  f"the {size_mb} MB board file was not edited as expected")
        check(read_bytes(atomic_board) == text, f"the atomic floor changed its {size_mb} MB file")
        check(not layout.temporary_files(), f"left behind: {layout.temporary_files()}")
        results.append((size_mb, size, best["silent"], best["atomic"], best["dd"]))
        if size_mb == args.sizes[-1]:
            written = peak_memory_kb([layout.exe, "301"])
            opened = peak_memory_kb([layout.exe, "250"])
            if written is not None and opened is not None:
                memory = (size, written, opened)
    return floor, results, memory


def median_ratio(samples, name, reference):
    return statistics.median(samples[name]) / statistics.median(samples[reference])


def report_small(args, samples):
    print(f"Silent mode against its floors ({args.runs} rounds, interleaved; "
          f"crudini {len(samples['crudini'])}):")
    print(f"  {'':38} {'median ms':>10} {'mean ms':>10}")
    rows = [
        ("true", "/bin/true"),
        ("durable", "durable-write floor"),
        ("silent", "VentrelConf 300|301"),
        ("open", "VentrelConf 250 (nothing written)"),
        ("crudini", "crudini --set"),
    ]
    for name, label in rows:
        values = samples[name]
        if values:
            print(f"  {label:38} {ms(statistics.median(values)):10.3f} {ms(statistics.mean(values)):10.3f}")
    ratios = {
        "write": median_ratio(samples, "silent", "durable"),
        "open": median_ratio(samples, "open", "true"),
    }
    print(f"  write / durable floor (medians): {ratios['write']:6.2f}x   (limit {args.write_limit:.2f}x)")
    print(f"  250 / true            (medians): {ratios['open']:6.2f}x   (limit {args.open_limit:.2f}x)")
    print(f"  write / true          (medians): {median_ratio(samples, 'silent', 'true'):6.2f}x")
    if samples["crudini"]:
        print(f"  write / crudini       (medians): {median_ratio(samples, 'silent', 'crudini'):6.3f}x")
    return ratios


def report_big(args, floor, results, memory):
    print(f"\nOne edit of a big board file against the atomic floor of it (best of {args.big_runs} "
          f"each, interleaved;\n/bin/true's {ms(floor):.3f} ms subtracted per MB). dd conv=fsync "
          f"copies in place (no temporary, no\nrename, no folder flush): shown, with no limit.")
    print(f"  {'size':>8} {'bytes':>10} {'ms':>9} {'floor ms':>9} {'/ floor':>8} {'dd ms':>9} "
          f"{'/ dd':>6} {'ms per MB':>10}")
    per_mb = []
    for size_mb, size, best, atomic, dd in results:
        per_mb.append(ms(max(best - floor, 0.0)) / (size / MIB))
        print(f"  {size_mb:>5g} MB {size:>10} {ms(best):9.2f} {ms(atomic):9.2f} {best / atomic:7.2f}x "
              f"{ms(dd):9.2f} {best / dd:5.2f}x {per_mb[-1]:10.2f}")
    growth = per_mb[-1] / per_mb[0] if per_mb[0] > 0 else float("inf")
    linear = 1.0 / args.linear_factor <= growth <= args.linear_factor
    big_ratio = results[-1][2] / results[-1][3]
    print(f"  {results[-1][0]:g} MB edit / atomic floor: {big_ratio:.2f}x   (limit {args.big_limit:.2f}x)")
    print(f"  {results[-1][0]:g} MB edit / dd conv=fsync: {results[-1][2] / results[-1][4]:.2f}x")
    print(f"  ms per MB at {results[-1][0]:g} MB / at {results[0][0]:g} MB: {growth:.2f} "
          f"-> {'linear' if linear else 'NOT linear'} (within {args.linear_factor:g}x)")
    memory_ratio = None
    if memory is None:
        print(f"  memory: not measured ({GNU_TIME} is missing: apt-get install time)")
    else:
        size, written, opened = memory
        memory_ratio = (written - opened) * 1024 / size
        print(f"  memory of the {results[-1][0]:g} MB edit: {written} KB peak, {opened} KB for 250; "
              f"beyond start-up {memory_ratio:.2f}x the file   (limit {args.memory_limit:.2f}x)")
    return big_ratio, linear, memory_ratio


def parse_arguments():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("exe", nargs="?", default="build/linux/VentrelConf",
                        help="the built executable (default: %(default)s); the durable floor is "
                        "bench/ventrel_durable_write in its build folder")
    parser.add_argument("--runs", type=int, default=400, help="rounds of the small edit")
    parser.add_argument("--crudini-runs", type=int, default=60, help="runs of crudini")
    parser.add_argument("--sizes", type=float, nargs="+", default=[1, 2, 5, 10],
                        help="sizes of the big board files, in MB (MiB), smallest first")
    parser.add_argument("--big-runs", type=int, default=7, help="runs per big file; the best counts")
    parser.add_argument("--write-limit", type=float, default=1.15,
                        help="largest allowed ratio of a write's median to the durable floor's")
    parser.add_argument("--open-limit", type=float, default=1.5,
                        help="largest allowed ratio of 250's median to /bin/true's")
    parser.add_argument("--big-limit", type=float, default=1.15,
                        help="largest allowed ratio of the largest edit to the atomic floor of it")
    parser.add_argument("--memory-limit", type=float, default=1.25,
                        help="largest allowed memory of the largest edit beyond start-up, in files")
    parser.add_argument("--linear-factor", type=float, default=2.0,
                        help="how far the per-MB cost of the largest file may stray from the smallest's")
    parser.add_argument("--dir", help="where to lay out the folders (default: the system's temporary folder)")
    parser.add_argument("--no-crudini", action="store_true", help="skip the crudini comparison")
    return parser.parse_args()


class Tools:
    """The reference commands, found before anything is timed."""

    def __init__(self, exe):
        self.true = "/bin/true" if os.path.exists("/bin/true") else shutil.which("true")
        self.dd = shutil.which("dd")
        self.durable = os.path.join(os.path.dirname(exe), "bench", "ventrel_durable_write")

    def missing(self):
        if not os.access(self.durable, os.X_OK):
            return f"no durable-write floor at {self.durable}: build the bench folder first"
        if self.true is None or self.dd is None:
            return "true or dd is missing"
        return None


def main():
    args = parse_arguments()
    if not os.access(args.exe, os.X_OK):
        print(f"no executable at {args.exe}: build it first (cmake --build build/linux)", file=sys.stderr)
        return 2
    tools = Tools(args.exe)
    if tools.missing():
        print(tools.missing(), file=sys.stderr)
        return 2
    crudini = None if args.no_crudini else shutil.which("crudini")
    if not args.no_crudini and crudini is None:
        print("crudini is not installed (apt-get install crudini), or pass --no-crudini", file=sys.stderr)
        return 2

    with tempfile.TemporaryDirectory(prefix="ventrel-bench-", dir=args.dir) as root:
        print(f"{args.exe} in {root}\n")
        try:
            ratios = report_small(args, time_small_edit(args, root, tools, crudini))
            big_ratio, linear, memory_ratio = report_big(args, *time_big_edits(args, root, tools))
        except Failure as failure:
            print(f"\nFAILED: {failure}", file=sys.stderr)
            return 1

    failures = []
    if ratios["write"] > args.write_limit:
        failures.append(f"a write takes {ratios['write']:.2f}x the durable floor (limit {args.write_limit:.2f}x)")
    if ratios["open"] > args.open_limit:
        failures.append(f"an open takes {ratios['open']:.2f}x /bin/true (limit {args.open_limit:.2f}x)")
    if big_ratio > args.big_limit:
        failures.append(f"the big edit takes {big_ratio:.2f}x the atomic floor (limit {args.big_limit:.2f}x)")
    if memory_ratio is not None and memory_ratio > args.memory_limit:
        failures.append(f"the big edit takes {memory_ratio:.2f}x the file in memory "
                        f"(limit {args.memory_limit:.2f}x)")
    if not linear:
        failures.append(f"the cost per MB does not stay within {args.linear_factor:g}x as the file grows")
    for failure in failures:
        print(f"\nFAILED: {failure}")
    if not failures:
        print("\nOK")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
