#!/usr/bin/env python3
"""Times VentrelConf's dialog from the program's start to its window on screen, against a bare Qt
Widgets program that shows one comparable dialog (bench/bare_dialog.cpp).

Both run on a private Xvfb started for the run, with no window manager, in rounds that alternate
which goes first. ventrel_map_timer starts each, waits for the X server to map its first top-level
window, and kills it: the time is what a user waits for the window, start-up of the program, the
window module and Qt included. VentrelConf runs in a local-layout folder, from a copy of the build,
and writes nothing (it is killed with its dialog open).

It exits non-zero when VentrelConf's median is more than --limit times the bare dialog's, or when a
run did not map a window. Standard library only.
Usage: bench/dialog_start.py [build/linux/VentrelConf] [options]
"""

import argparse
import os
import shutil
import statistics
import subprocess
import sys
import tempfile

PRODUCT_FOLDER = "Zorvik - LAN PANORAMIC"
CATALOGUE_TEXT = (
    "[Model]\r\nManufacturer=Dremont\r\n\r\n"
    "[VentrelV1]\r\nDISPLAY=Ventrel 2D\r\n\r\n"
    "[Ventrel3DV1]\r\nDISPLAY=Ventrel 3D (version 1)\r\n\r\n"
    "[Ventrel3DV2]\r\nDISPLAY=Ventrel 3D (version 2)\r\n"
)
BOARD_TEXT = "[BOARD]\r\nTYPE=300\r\nTYPE_SUB=301\r\n"


class Failure(Exception):
    pass


def start_xvfb():
    """A private X server on a display number nobody uses; returns the process and DISPLAY."""
    read_end, write_end = os.pipe()
    server = subprocess.Popen(
        ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1024x768x24", "-nolisten", "tcp",
         "-noreset"],
        pass_fds=[write_end], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.close(write_end)
    with os.fdopen(read_end) as numbers:
        number = numbers.readline().strip()
    if not number:
        server.kill()
        raise Failure("Xvfb did not start")
    return server, ":" + number


def lay_out(root, exe):
    """The program, its window module and help page beside the Dremont product folder."""
    app = os.path.join(root, "app")
    data = os.path.join(app, PRODUCT_FOLDER)
    os.makedirs(data)
    build = os.path.dirname(exe)
    shutil.copy2(exe, os.path.join(app, "VentrelConf"))
    for name in ("VentrelConf-qt.so", "VentrelConf.html"):
        shutil.copy2(os.path.join(build, name), app)
    for name, text in (("VentrelConf.ini", CATALOGUE_TEXT), ("VENTREL_DLL.INI", BOARD_TEXT)):
        with open(os.path.join(data, name), "w", newline="") as out:
            out.write(text)
    return os.path.join(app, "VentrelConf"), os.path.join(data, "VENTREL_DLL.INI")


def time_to_map(timer, argv, env):
    result = subprocess.run([timer] + argv, env=env, stdout=subprocess.PIPE,
                            stderr=subprocess.PIPE, text=True, check=False)
    if result.returncode != 0:
        raise Failure(f"{' '.join(argv)}: {result.stderr.strip() or 'status ' + str(result.returncode)}")
    return int(result.stdout) / 1000.0


def parse_arguments():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("exe", nargs="?", default="build/linux/VentrelConf",
                        help="the built executable, beside its window module (default: %(default)s)")
    parser.add_argument("--tools", help="where ventrel_map_timer and ventrel_bare_dialog are "
                        "(default: bench/ in the executable's build folder)")
    parser.add_argument("--runs", type=int, default=30, help="rounds, each starting both once")
    parser.add_argument("--limit", type=float, default=1.2,
                        help="largest allowed ratio of VentrelConf's median to the bare dialog's")
    return parser.parse_args()


def main():
    args = parse_arguments()
    tools = args.tools or os.path.join(os.path.dirname(args.exe), "bench")
    timer = os.path.join(tools, "ventrel_map_timer")
    bare = os.path.join(tools, "ventrel_bare_dialog")
    for path in (args.exe, timer, bare):
        if not os.access(path, os.X_OK):
            print(f"no executable at {path}: build it first (cmake --build build/linux)", file=sys.stderr)
            return 2
    if shutil.which("Xvfb") is None:
        print("Xvfb is not installed (apt-get install xvfb)", file=sys.stderr)
        return 2

    samples = {"bare": [], "ventrel": []}
    with tempfile.TemporaryDirectory(prefix="ventrel-dialog-") as root:
        program, board = lay_out(root, args.exe)
        server = None
        try:
            server, display = start_xvfb()
            env = {k: v for k, v in os.environ.items()
                   if k not in ("WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "XDG_SESSION_TYPE")}
            env.update(DISPLAY=display, XDG_RUNTIME_DIR=root)
            commands = {"bare": [bare], "ventrel": [program]}
            for name in commands:  # the first start of each fills the caches; it does not count
                time_to_map(timer, commands[name], env)
            for i in range(args.runs):
                order = ["bare", "ventrel"] if i % 2 == 0 else ["ventrel", "bare"]
                for name in order:
                    samples[name].append(time_to_map(timer, commands[name], env))
            with open(board, newline="") as written:
                if written.read() != BOARD_TEXT:
                    raise Failure("the board file changed")
        except Failure as failure:
            print(f"FAILED: {failure}", file=sys.stderr)
            return 1
        finally:
            if server is not None:
                server.kill()
                server.wait()

    print(f"From start to the dialog mapped on Xvfb ({args.runs} rounds, interleaved):")
    print(f"  {'':28} {'median ms':>10} {'min ms':>8}")
    for name, label in (("bare", "bare Qt dialog"), ("ventrel", "VentrelConf (the dialog)")):
        print(f"  {label:28} {statistics.median(samples[name]):10.1f} {min(samples[name]):8.1f}")
    ratio = statistics.median(samples["ventrel"]) / statistics.median(samples["bare"])
    print(f"  VentrelConf / bare dialog (medians): {ratio:.2f}x   (limit {args.limit:.2f}x)")
    if ratio > args.limit:
        print(f"\nFAILED: the dialog takes {ratio:.2f}x the bare dialog's start (limit {args.limit:.2f}x)")
        return 1
    print("\nOK")
    return 0


if __name__ == "__main__":
    sys.exit(main())
