#!/usr/bin/env python3
"""Silent mode against the process floor, and whether it loads Qt.

Runs `VentrelConf 301` in a temporary local-layout folder many times, alternating with a do-nothing
C++ program built with the same compiler (the floor: starting any such process at all), and
reports the medians. Then runs silent mode once under LD_DEBUG=files, with a display set (a private
Xvfb when one can be started), and lists any Qt library it loaded.

Usage: bench/qt_loading.py [BUILD_FOLDER] [RUNS]   (default build/linux, 300 runs)
Exits 1 when silent mode takes more than twice the floor or loads Qt.
"""
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

CATALOGUE = (b"[Model]\r\nManufacturer=Dremont\r\n[VentrelV1]\r\nDISPLAY=Ventrel 2D\r\n"
             b"[Ventrel3DV1]\r\nDISPLAY=Ventrel 3D v1\r\n[Ventrel3DV2]\r\nDISPLAY=Ventrel 3D v2\r\n")
BOARD = b"[NETWORK]\r\nUNIT_PORT=5000\r\n[BOARD]\r\nTYPE=200\r\n"


def run_once(argv, env):
    start = time.perf_counter()
    pid = os.posix_spawn(argv[0], argv, env)
    _, status = os.waitpid(pid, 0)
    elapsed = time.perf_counter() - start
    if os.waitstatus_to_exitcode(status) != 0:
        sys.exit("%s failed with status %d" % (argv, os.waitstatus_to_exitcode(status)))
    return elapsed


def start_xvfb():
    if shutil.which("Xvfb") is None:
        return None, None
    read_end, write_end = os.pipe()
    server = subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-nolisten", "tcp"],
                              pass_fds=(write_end,), stdout=subprocess.DEVNULL,
                              stderr=subprocess.DEVNULL)
    os.close(write_end)
    number = os.read(read_end, 16).decode().strip()
    os.close(read_end)
    return server, (":" + number if number else None)


def main():
    build = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else "build/linux")
    runs = int(sys.argv[2]) if len(sys.argv) > 2 else 300
    with tempfile.TemporaryDirectory() as work:
        app = os.path.join(work, "app")
        data = os.path.join(app, "Zorvik - LAN PANORAMIC")
        os.makedirs(data)
        for name in ("VentrelConf", "VentrelConf-qt.so"):
            shutil.copy2(os.path.join(build, name), app)
        with open(os.path.join(data, "VentrelConf.ini"), "wb") as f:
            f.write(CATALOGUE)
        board = os.path.join(data, "VENTREL_DLL.INI")
        with open(board, "wb") as f:
            f.write(BOARD)

        floor = os.path.join(work, "floor")
        source = floor + ".cpp"
        with open(source, "w") as f:
            f.write("#include <string>\nint main(int argc, char**) { return std::string(argc, 'x')"
                    ".size() == 0; }\n")
        subprocess.run(["g++", "-O2", "-o", floor, source], check=True)

        env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY")}
        program = [os.path.join(app, "VentrelConf"), "301"]
        for _ in range(20):  # warm the caches
            run_once([floor], env)
            run_once(program, env)
        floor_times, silent_times = [], []
        for _ in range(runs):
            floor_times.append(run_once([floor], env))
            silent_times.append(run_once(program, env))
        floor_ms = statistics.median(floor_times) * 1000
        silent_ms = statistics.median(silent_times) * 1000
        ratio = silent_ms / floor_ms
        print("runs: %d each" % runs)
        print("process floor (empty C++ program): median %.3f ms" % floor_ms)
        print("VentrelConf 301 (silent mode):     median %.3f ms" % silent_ms)
        print("ratio: %.2f (limit 2.00)" % ratio)

        server, display = start_xvfb()
        try:
            loaded_env = dict(env, LD_DEBUG="files")
            if display:
                loaded_env["DISPLAY"] = display
            result = subprocess.run(program, env=loaded_env, capture_output=True, text=True)
        finally:
            if server:
                server.terminate()
                server.wait()
        libraries = sorted({line.split("file=")[1].split()[0]
                            for line in result.stderr.splitlines() if "file=" in line})
        qt = [name for name in libraries if "Qt6" in name or "VentrelConf-qt" in name]
        print("display during the LD_DEBUG run: %s" % (display or "none"))
        print("libraries silent mode loaded: %s" % ", ".join(libraries))
        print("Qt loaded: %s" % (", ".join(qt) if qt else "no"))
        if ratio > 2 or qt or result.returncode != 0:
            sys.exit(1)


if __name__ == "__main__":
    main()
