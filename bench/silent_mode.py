#!/usr/bin/env python3
"""Times VentrelConf's silent mode against the process floor and against crudini.

One run measures, in a local-layout folder laid out in a temporary folder:
  1. silent mode writing a model (300 and 301 in turn, so that every run really writes), against
     /bin/true (what starting any process costs) and `crudini --set` on the same board file;
  2. one edit of board files of growing size, to show that the cost grows linearly.

It exits non-zero when silent mode's median is more than --limit times the floor's, when the cost
per megabyte of the largest file is not within --linear-factor of the smallest one's, or when a
run did not leave the board file as it should.

Standard library only. Usage: bench/silent_mode.py [build/linux/VentrelConf] [options]
"""

import argparse
import os
import random
import re
import shutil
import statistics
import sys
import tempfile
import time

PRODUCT_FOLDER = "Zorvik - LAN PANORAMIC"
BOARD_NAME = "VENTREL_DLL.INI"
CATALOGUE_NAME = "VentrelConf.ini"
MIB = 1024 * 1024

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


def time_small_edit(args, root, true_path, crudini):
    layout = Layout(os.path.join(root, "small"), args.exe)
    write_bytes(layout.board, small_board_text())
    crudini_board = os.path.join(root, "crudini", BOARD_NAME)
    os.makedirs(os.path.dirname(crudini_board))
    write_bytes(crudini_board, small_board_text())

    samples = {"floor": [], "silent": [], "start-up": [], "crudini": []}
    crudini_every = max(1, args.runs // args.crudini_runs)
    crudini_model = None
    for i in range(args.runs):
        model = "301" if i % 2 == 0 else "300"
        # 250 is no model: the program opens the configuration and stops short of writing, which
        # tells its start-up from the write. Status 1 says so.
        commands = [
            ("floor", [true_path], 0),
            ("silent", [layout.exe, model], 0),
            ("start-up", [layout.exe, "250"], 1),
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
    check(not layout.temporary_files(), f"left behind: {layout.temporary_files()}")
    return samples


def time_big_edits(args, root, true_path):
    layout = Layout(os.path.join(root, "big"), args.exe)
    floor = min(timed_run([true_path])[0] for _ in range(max(args.big_runs, 20)))
    results = []
    for size_mb in args.sizes:
        text = big_board_text(int(size_mb * MIB))
        write_bytes(layout.board, text)
        size = os.path.getsize(layout.board)
        best = None
        for i in range(args.big_runs):
            model = "301" if i % 2 == 0 else "300"
            elapsed, status = timed_run([layout.exe, model])
            check(status == 0, f"silent mode on {size_mb} MB ended with status {status}")
            check(read_bytes(layout.board) == after_write(text, model),
                  f"the {size_mb} MB board file was not edited as expected")
            best = elapsed if best is None else min(best, elapsed)
        check(not layout.temporary_files(), f"left behind: {layout.temporary_files()}")
        results.append((size_mb, size, best))
    return floor, results


def report_small(args, samples):
    floor, silent, other = samples["floor"], samples["silent"], samples["crudini"]
    print(f"Silent mode against the process floor ({args.runs} runs each, crudini {len(other)}):")
    print(f"  {'':34} {'median ms':>10} {'mean ms':>10}")
    rows = [
        ("/bin/true", floor),
        ("VentrelConf 300|301", silent),
        ("VentrelConf 250 (nothing written)", samples["start-up"]),
    ]
    if other:
        rows.append(("crudini --set", other))
    for name, values in rows:
        print(f"  {name:34} {ms(statistics.median(values)):10.3f} {ms(statistics.mean(values)):10.3f}")
    floor_ratio = statistics.median(silent) / statistics.median(floor)
    print(f"  silent / true    (medians): {floor_ratio:6.2f}x   (limit {args.limit:.2f}x)")
    if other:
        print(f"  silent / crudini (medians): {statistics.median(silent) / statistics.median(other):6.3f}x")
    return floor_ratio


def report_big(args, floor, results):
    print(f"\nOne edit of a big board file (best of {args.big_runs}; floor {ms(floor):.3f} ms subtracted):")
    print(f"  {'size':>8} {'bytes':>10} {'ms':>9} {'net ms':>9} {'ms per MB':>10}")
    per_mb = []
    for size_mb, size, best in results:
        net = max(best - floor, 0.0)
        per_mb.append(ms(net) / (size / MIB))
        print(f"  {size_mb:>5g} MB {size:>10} {ms(best):9.2f} {ms(net):9.2f} {per_mb[-1]:10.2f}")
    growth = per_mb[-1] / per_mb[0] if per_mb[0] > 0 else float("inf")
    linear = 1.0 / args.linear_factor <= growth <= args.linear_factor
    print(f"  ms per MB at {results[-1][0]:g} MB / at {results[0][0]:g} MB: {growth:.2f} "
          f"-> {'linear' if linear else 'NOT linear'} (within {args.linear_factor:g}x)")
    return linear


def parse_arguments():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("exe", nargs="?", default="build/linux/VentrelConf",
                        help="the built executable (default: %(default)s)")
    parser.add_argument("--runs", type=int, default=400, help="runs of true and of silent mode")
    parser.add_argument("--crudini-runs", type=int, default=60, help="runs of crudini")
    parser.add_argument("--sizes", type=float, nargs="+", default=[1, 2, 5, 10],
                        help="sizes of the big board files, in MB (MiB), smallest first")
    parser.add_argument("--big-runs", type=int, default=5, help="runs per big file; the best counts")
    parser.add_argument("--limit", type=float, default=2.0,
                        help="largest allowed ratio of silent mode's median to the floor's")
    parser.add_argument("--linear-factor", type=float, default=2.0,
                        help="how far the per-MB cost of the largest file may stray from the smallest's")
    parser.add_argument("--dir", help="where to lay out the folders (default: the system's temporary folder)")
    parser.add_argument("--no-crudini", action="store_true", help="skip the crudini comparison")
    return parser.parse_args()


def main():
    args = parse_arguments()
    if not os.access(args.exe, os.X_OK):
        print(f"no executable at {args.exe}: build it first (cmake --build build/linux)", file=sys.stderr)
        return 2
    true_path = shutil.which("true") if not os.path.exists("/bin/true") else "/bin/true"
    crudini = None if args.no_crudini else shutil.which("crudini")
    if not args.no_crudini and crudini is None:
        print("crudini is not installed (apt-get install crudini), or pass --no-crudini", file=sys.stderr)
        return 2

    with tempfile.TemporaryDirectory(prefix="ventrel-bench-", dir=args.dir) as root:
        print(f"{args.exe} in {root}\n")
        try:
            floor_ratio = report_small(args, time_small_edit(args, root, true_path, crudini))
            big_floor, results = time_big_edits(args, root, true_path)
            linear = report_big(args, big_floor, results)
        except Failure as failure:
            print(f"\nFAILED: {failure}", file=sys.stderr)
            return 1

    failed = False
    if floor_ratio > args.limit:
        print(f"\nFAILED: silent mode takes {floor_ratio:.2f}x the floor (limit {args.limit:.2f}x)")
        failed = True
    if not linear:
        print(f"\nFAILED: the cost per MB does not stay within {args.linear_factor:g}x as the file grows")
        failed = True
    if not failed:
        print("\nOK")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
