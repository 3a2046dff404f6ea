#!/usr/bin/env python3
"""The Debian package as a user gets it: built from this build, unpacked into an empty
root, checked the way software centres and desktops read it, and the app started from
it, so that a file the package lacks fails here and not on someone's desktop.

Run by ctest with the path of a JSON file the build writes (see CMakeLists.txt).
"""

import gzip
import json
import os
import re
import signal
import struct
import subprocess
import sys
import tempfile
import time
import unittest
from pathlib import Path

CONFIG = json.loads(Path(os.environ["FLINTLY_PACKAGE_TEST_CONFIG"]).read_text())
APP_ID = "org.flintly.Flintly"
ICON_SIZES = (16, 24, 32, 48, 64, 128, 256, 512)


def run(*args, **kwargs):
    return subprocess.run(args, capture_output=True, text=True, **kwargs)


def long_options(text):
    return set(re.findall(r"(?<![\w-])--[a-z][a-z-]*", text))


class Package(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.TemporaryDirectory(prefix="flintly-package-")
        work = Path(cls.tmp.name)
        # A package of its own, so that `make package` running meanwhile is not disturbed.
        built = run("cpack", "--config", CONFIG["cpackConfig"], "-B", str(work / "out"))
        if built.returncode != 0:
            raise AssertionError("cpack failed:\n" + built.stdout + built.stderr)
        debs = list((work / "out").glob("*.deb"))
        assert len(debs) == 1, debs
        cls.deb = debs[0]
        cls.root = work / "root"
        extracted = run("dpkg-deb", "-x", str(cls.deb), str(cls.root))
        assert extracted.returncode == 0, extracted.stderr
        cls.usr = cls.root / "usr"
        cls.work = work

    @classmethod
    def tearDownClass(cls):
        cls.tmp.cleanup()

    def field(self, name):
        return run("dpkg-deb", "-f", str(self.deb), name).stdout.strip()

    def test_everything_lives_below_usr(self):
        self.assertEqual(sorted(p.name for p in self.root.iterdir()), ["usr"])
        for path in ("bin/flintly", "share/flintly/dist/index.html", "share/flintly/Guide.md",
                     f"share/applications/{APP_ID}.desktop", f"share/metainfo/{APP_ID}.metainfo.xml",
                     f"share/icons/hicolor/scalable/apps/{APP_ID}.svg",
                     f"share/icons/hicolor/symbolic/apps/{APP_ID}-symbolic.svg", "share/man/man1/flintly.1.gz"):
            self.assertTrue((self.usr / path).is_file(), path)

    def test_dependencies_cover_what_no_link_shows(self):
        depends = self.field("Depends")
        # From the links (dpkg-shlibdeps) ...
        for package in ("libqt6webenginecore6", "libqt6widgets6", "libsqlite3-0", "libcurl4"):
            self.assertIn(package, depends)
        # ... and what only runs: the engine's helper process and a font for the editor.
        self.assertRegex(depends, r"libqt6webenginecore6-bin\b")
        self.assertIn("fonts-dejavu-core", depends)
        self.assertEqual(self.field("Version"), CONFIG["version"])

    def test_icons_are_rendered_at_every_size(self):
        for size in ICON_SIZES:
            png = self.usr / f"share/icons/hicolor/{size}x{size}/apps/{APP_ID}.png"
            data = png.read_bytes()
            self.assertEqual(data[:8], b"\x89PNG\r\n\x1a\n", png)
            self.assertEqual(struct.unpack(">II", data[16:24]), (size, size), png)

    def test_desktop_entry_validates_without_hints_and_opens_markdown(self):
        entry = self.usr / f"share/applications/{APP_ID}.desktop"
        checked = run("desktop-file-validate", str(entry))
        self.assertEqual(checked.returncode, 0, checked.stdout + checked.stderr)
        self.assertEqual(checked.stdout + checked.stderr, "")
        text = entry.read_text()
        self.assertIn("Exec=flintly %F\n", text)
        self.assertRegex(text, r"MimeType=.*\btext/markdown;")

    def test_metadata_validates_with_and_without_the_screenshot_address(self):
        installed = self.usr / f"share/metainfo/{APP_ID}.metainfo.xml"
        plain = run("appstreamcli", "validate", "--no-net", str(installed))
        self.assertEqual(plain.returncode, 0, plain.stdout + plain.stderr)
        text = installed.read_text()
        self.assertIn(f'<release version="{CONFIG["version"]}"', text)
        self.assertIn(f"<launchable type=\"desktop-id\">{APP_ID}.desktop</launchable>", text)
        if not CONFIG["screenshotsUrl"]:
            self.assertNotIn("<screenshot", text, "no address, no screenshots")

        # The same metadata for a build that names where the screenshots are published.
        published = self.work / "with-address" / f"{APP_ID}.metainfo.xml"
        published.parent.mkdir()
        written = run(CONFIG["cmake"], *CONFIG["metainfoArgs"], "-DSCREENSHOTS_URL=https://example.org/flintly/",
                      f"-DOUTPUT={published}", "-P", CONFIG["metainfoScript"])
        self.assertEqual(written.returncode, 0, written.stderr)
        shots = run("appstreamcli", "validate", "--no-net", str(published))
        self.assertEqual(shots.returncode, 0, shots.stdout + shots.stderr)
        images = re.findall(r"<image>https://example\.org/flintly/([^<]+)</image>", published.read_text())
        self.assertGreaterEqual(len(images), 2)
        for image in images:
            self.assertTrue((Path(CONFIG["sourceDir"]) / "resources/screenshots" / image).is_file(),
                            f"{image} is kept in the repository")

    def test_manual_page_and_help_name_the_same_options(self):
        page = gzip.decompress((self.usr / "share/man/man1/flintly.1.gz").read_bytes()).decode()
        self.assertIn(CONFIG["version"], page.splitlines()[0])
        options = page.split(".SH OPTIONS", 1)[1].split(".SH ", 1)[0].replace("\\-", "-")
        help_text = run(str(self.usr / "bin/flintly"), "--help").stdout
        self.assertEqual(long_options(options), long_options(help_text))
        self.assertIn(".SH FILES", page)

    def test_the_app_runs_from_the_unpacked_package(self):
        binary = self.usr / "bin/flintly"
        version = run(str(binary), "--version")
        self.assertEqual(version.stdout.strip(), f"Flintly {CONFIG['version']}")

        home = self.work / "home"
        notes = home / "Notes"
        (home / "config/Flintly").mkdir(parents=True)
        notes.mkdir()
        (home / "config/Flintly/Flintly.conf").write_text(
            "[General]\nflintlyHasOnboarded=true\nflintlyLastSeenVersion=" + CONFIG["version"]
            + f"\ndidInsertQuickGuide=true\nflintlySaveFolder=file://{notes}\n")
        env = {k: v for k, v in os.environ.items() if not k.startswith("FLINTLY_")}
        env.update(HOME=str(home), XDG_CONFIG_HOME=str(home / "config"), XDG_CACHE_HOME=str(home / "cache"),
                   XDG_DATA_HOME=str(home / "data"), XDG_RUNTIME_DIR=str(home), QT_QPA_PLATFORM="xcb",
                   FLINTLY_TRACE_STARTUP="1", QTWEBENGINE_DISABLE_SANDBOX="1",
                   QTWEBENGINE_CHROMIUM_FLAGS="--disable-gpu --no-sandbox")
        command = [str(binary)]
        if not env.get("DISPLAY"):
            command = ["xvfb-run", "-a", "-s", "-screen 0 1280x1024x24"] + command
        log = self.work / "app.log"
        with open(log, "wb") as out:
            app = subprocess.Popen(command, env=env, stdout=out, stderr=subprocess.STDOUT, start_new_session=True)
            try:
                deadline = time.monotonic() + 120
                loaded = None
                while time.monotonic() < deadline and app.poll() is None:
                    loaded = re.search(r"flintly-trace editor-loaded \d+ (\d)", log.read_text(errors="replace"))
                    if loaded:
                        break
                    time.sleep(0.2)
            finally:
                if app.poll() is None:
                    os.killpg(app.pid, signal.SIGTERM)
                    try:
                        app.wait(20)
                    except subprocess.TimeoutExpired:
                        os.killpg(app.pid, signal.SIGKILL)
        output = log.read_text(errors="replace")
        self.assertTrue(loaded, "the editor never loaded:\n" + output[-3000:])
        self.assertEqual(loaded.group(1), "1", "the editor page failed to load:\n" + output[-3000:])
        page = re.search(r"🔍 loading: (\S+)", output)
        self.assertTrue(page and page.group(1).startswith(str(self.usr)), "the page comes from the package")


if __name__ == "__main__":
    unittest.main(verbosity=2)
