#!/usr/bin/env python3
"""Takes the screenshots of resources/screenshots from the built app.

Runs build/bin/flintly on an X server of its own (Xvfb) with sample notes and a fresh
settings folder, shows the note and then quick open over it, and writes each as a PNG
cropped to Flintly's windows with a margin of the desktop behind them:

    scripts/screenshots.py [--build build] [--out resources/screenshots] [--scale 2]

--scale runs the app at that scale factor (QT_SCALE_FACTOR) on a screen as many times
larger, to look at icons and text as a HiDPI screen shows them; the screenshots kept in
the repository are taken at scale 1.

Xvfb keeps its screen in a file (-fbdir) in the X window dump format, which this script
reads itself, so no screen-capture tool is needed.
"""

import argparse
import os
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import time
import zlib
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
SCREEN = (1280, 800)
BACKGROUND = "#d5dbe3"
MARGIN = 40

NOTES = {
    "Weekly plan.md": """# Weekly plan

## Monday
- [x] Send the draft to Mira
- [ ] Book the room for Thursday
- [ ] Read **chapter 3** before the call

## Ideas
> Keep the intro short: one paragraph, one picture.

Links to check: [release notes](https://example.org/notes)
""",
    "Reading list.md": "# Reading list\n\n1. The Design of Everyday Things\n2. Thinking in Systems\n",
    "Groceries.md": "# Groceries\n\n- oat milk\n- lemons\n- coffee\n",
    "Meeting notes.md": "# Meeting notes\n\nAgenda, decisions, follow-ups.\n",
    "Trip to Lisbon.md": "# Trip to Lisbon\n\nFlights, the tram 28, pastéis de nata.\n",
    "Recipe - shakshuka.md": "# Shakshuka\n\nTomatoes, peppers, eggs, cumin.\n",
}


def write_png(path, width, height, rows):
    """rows: a list of bytes objects, each width * 3 bytes of RGB."""
    raw = b"".join(b"\x00" + row for row in rows)

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)

    png = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b"")
    Path(path).write_bytes(png)


def read_screen(xwd_path):
    """The screen as (width, height, pixel rows of RGB bytes) from Xvfb's XWD file."""
    data = Path(xwd_path).read_bytes()
    fields = struct.unpack(">25I", data[:100])
    header_size, _, _, _, width, height = fields[:6]
    byte_order, bits_per_pixel, bytes_per_line = fields[7], fields[11], fields[12]
    red_mask, green_mask, blue_mask = fields[14:17]
    ncolors = fields[19]
    if bits_per_pixel != 32 or (red_mask, green_mask, blue_mask) != (0xFF0000, 0xFF00, 0xFF):
        sys.exit(f"screenshots: unexpected screen format ({bits_per_pixel} bpp)")
    pixels = data[header_size + 12 * ncolors:]
    rows = []
    for y in range(height):
        line = pixels[y * bytes_per_line:y * bytes_per_line + width * 4]
        if byte_order == 0:  # least significant byte first: B G R X
            b, g, r = line[0::4], line[1::4], line[2::4]
        else:
            r, g, b = line[1::4], line[2::4], line[3::4]
        rgb = bytearray(width * 3)
        rgb[0::3], rgb[1::3], rgb[2::3] = r, g, b
        rows.append(bytes(rgb))
    return width, height, rows


def crop(screen, box, path):
    width, height, rows = screen
    x0, y0, x1, y1 = max(0, box[0]), max(0, box[1]), min(width, box[2]), min(height, box[3])
    write_png(path, x1 - x0, y1 - y0, [row[x0 * 3:x1 * 3] for row in rows[y0:y1]])


class Session:
    def __init__(self, build, work, scale):
        self.work = work
        self.fbdir = work / "fb"
        self.fbdir.mkdir()
        self.server = subprocess.Popen(
            ["Xvfb", "-displayfd", "1", "-noreset", "-screen", "0", f"{SCREEN[0] * scale}x{SCREEN[1] * scale}x24", "-nolisten", "tcp",
             "-fbdir", str(self.fbdir)], stdout=subprocess.PIPE)
        display = self.server.stdout.readline().decode().strip()
        home = work / "home"
        notes = home / "Notes"
        (home / "config/Flintly").mkdir(parents=True)
        notes.mkdir(parents=True)
        for name, text in NOTES.items():
            (notes / name).write_text(text, encoding="utf-8")
        (home / "config/Flintly/Flintly.conf").write_text(
            "[General]\nflintlyHasOnboarded=true\nflintlyLastSeenVersion=0.1.0\ndidInsertQuickGuide=true\n"
            f"flintlySaveFolder=file://{notes}\nappTheme=1\n", encoding="utf-8")
        self.env = dict(os.environ, DISPLAY=f":{display}", HOME=str(home), XDG_CONFIG_HOME=str(home / "config"),
                        XDG_CACHE_HOME=str(home / "cache"), XDG_DATA_HOME=str(home / "data"),
                        XDG_RUNTIME_DIR=str(home), QT_QPA_PLATFORM="xcb", FLINTLY_TRACE="1",
                        QTWEBENGINE_DISABLE_SANDBOX="1",
                        QTWEBENGINE_CHROMIUM_FLAGS="--disable-gpu --no-sandbox", QT_SCALE_FACTOR=str(scale))
        self.env.pop("XAUTHORITY", None)
        self.env.pop("FLINTLY_RESOURCE_DIR", None)
        subprocess.run(["xsetroot", "-solid", BACKGROUND], env=self.env, check=True)
        self.log = open(work / "app.log", "wb")
        self.app = subprocess.Popen([str(build / "bin/flintly"), str(notes / "Weekly plan.md")], env=self.env,
                                    stdout=self.log, stderr=subprocess.STDOUT)

    def close(self):
        for process in (self.app, self.server):
            if process.poll() is None:
                process.send_signal(signal.SIGTERM)
                try:
                    process.wait(10)
                except subprocess.TimeoutExpired:
                    process.kill()
        self.log.close()

    def wait_for_log(self, text, seconds=60):
        deadline = time.monotonic() + seconds
        while time.monotonic() < deadline:
            if text in (self.work / "app.log").read_text(errors="replace"):
                return
            if self.app.poll() is not None:
                break
            time.sleep(0.2)
        sys.exit(f"screenshots: the app never logged {text!r}; see {self.work / 'app.log'}")

    def xdotool(self, *args):
        return subprocess.run(["xdotool", *args], env=self.env, capture_output=True, text=True).stdout.strip()

    def window(self, title):
        """The geometry (x0, y0, x1, y1) of the app's mapped window with this title."""
        for _ in range(100):
            ids = self.xdotool("search", "--onlyvisible", "--pid", str(self.app.pid), "--name", f"^{title}$")
            if ids:
                values = {}
                for line in self.xdotool("getwindowgeometry", "--shell", ids.split()[0]).splitlines():
                    key, _, value = line.partition("=")
                    values[key] = int(value)
                return (values["X"], values["Y"], values["X"] + values["WIDTH"], values["Y"] + values["HEIGHT"])
            time.sleep(0.1)
        sys.exit(f"screenshots: no window titled {title!r}")

    def screen(self):
        return read_screen(self.fbdir / "Xvfb_screen0")


def around(*boxes, margin=MARGIN):
    return (min(b[0] for b in boxes) - margin, min(b[1] for b in boxes) - margin,
            max(b[2] for b in boxes) + margin, max(b[3] for b in boxes) + margin)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--build", default=str(ROOT / "build"))
    parser.add_argument("--out", default=str(ROOT / "resources/screenshots"))
    parser.add_argument("--scale", type=int, choices=(1, 2, 3), default=1)
    args = parser.parse_args()
    for tool in ("Xvfb", "xdotool", "xsetroot"):
        if not shutil.which(tool):
            sys.exit(f"screenshots: needs {tool} (scripts/install-deps.sh installs it)")
    out = Path(args.out)
    out.mkdir(parents=True, exist_ok=True)
    with tempfile.TemporaryDirectory(prefix="flintly-shots-") as tmp:
        session = Session(Path(args.build), Path(tmp), args.scale)
        try:
            session.wait_for_log("flintly-trace text-set")
            note = session.window("Flintly")
            session.xdotool("mousemove", "0", "0")
            time.sleep(1.5)  # the page's first paint and the caret settle
            crop(session.screen(), around(note, margin=MARGIN * args.scale), out / "note.png")

            session.xdotool("key", "--clearmodifiers", "ctrl+p")
            search = session.window("Quick Open")
            time.sleep(1.5)  # the fade-in and the folder scan
            crop(session.screen(), around(note, search, margin=MARGIN * args.scale), out / "quick-open.png")
        finally:
            session.close()
    print(f"screenshots: wrote note.png and quick-open.png to {out}")


if __name__ == "__main__":
    main()
