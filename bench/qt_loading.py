#!/usr/bin/env python3
"""Whether silent mode loads Qt.

Lays out a temporary local-layout folder with the executable and its window module, and runs
`VentrelConf 301` once under LD_DEBUG=files with a display set (a private Xvfb when one can be
started), listing every library it loaded. Its time against the process floor is measured by
bench/silent_mode.py, which runs the same layout.

Usage: bench/qt_loading.py [BUILD_FOLDER]   (default build/linux)
Exits 1 when silent mode loads Qt or fails.
"""
import os
import shutil
import subprocess
import sys
import tempfile

CATALOGUE = (b"[Model]\r\nManufacturer=Dremont\r\n[VentrelV1]\r\nDISPLAY=Ventrel 2D\r\n"
             b"[Ventrel3DV1]\r\nDISPLAY=Ventrel 3D v1\r\n[Ventrel3DV2]\r\nDISPLAY=Ventrel 3D v2\r\n")
BOARD = b"[NETWORK]\r\nUNIT_PORT=5000\r\n[BOARD]\r\nTYPE=200\r\n"


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

        env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY")}
        program = [os.path.join(app, "VentrelConf"), "301"]

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
        with open(board, "rb") as f:
            written = b"TYPE_SUB=301" in f.read()
        print("model written: %s" % ("yes" if written else "no"))
        if qt or result.returncode != 0 or not written:
            sys.exit(1)


if __name__ == "__main__":
    main()
