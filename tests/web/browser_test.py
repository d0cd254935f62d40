#!/usr/bin/env python3
"""The browser build in headless Chromium, driven through ChromeDriver.

Serves the site folder on a free loopback port and checks, as a person
watching the page would: the page title, the picture of ?paused (the clock
held at 0) against the native `mcubes snapshot --tick 0` and that it holds
still, that without ?paused the picture moves, and that the page's close
button ends the program through its normal path ("Shutting down." on the
console, exit code 0); that the viewer's page takes keys, its state
following them in the page's title; and that it opens the user's volume
files (NRRD, gzip-compressed, raw, MetaImage, NIfTI, a segmentation's
labels) with their size in the title and the surface on the canvas, and
refuses one too large for the page (and NIfTI where the build was made
without the NIfTI library) in one line each. Every wait is for a condition, with a
time limit.
Only the standard library is used.
"""

import argparse
import base64
import functools
import gzip
import http.server
import json
import os
import re
import shutil
import signal
import socket
import struct
import subprocess
import sys
import tempfile
import threading
import time
import urllib.error
import urllib.request
import zlib

WIDTH, HEIGHT = 800, 600

CHROMIUM_ARGS = [
    "--headless=new", "--no-sandbox",
    # WebGL in software.
    "--use-gl=angle", "--use-angle=swiftshader", "--enable-unsafe-swiftshader",
    # Nothing but the page on the network, which here is closed anyway.
    "--disable-background-networking", "--disable-component-update", "--disable-sync",
    "--no-first-run",
    # ChromeDriver talks to the browser over a pipe rather than a DevTools
    # socket at "localhost", a name that a minimal system may not resolve
    # (no /etc/hosts).
    "--remote-debugging-pipe",
    # Screen pixels are CSS pixels, and the whole canvas fits the window.
    "--force-device-scale-factor=1", "--window-size=1024,900",
]


class Failure(Exception):
    pass


def wait_for(what, condition, timeout, interval=0.2):
    """Polls `condition` until it returns something true; fails naming `what`."""
    deadline = time.monotonic() + timeout
    while True:
        result = condition()
        if result:
            return result
        if time.monotonic() > deadline:
            raise Failure("timed out after %g s waiting for %s" % (timeout, what))
        time.sleep(interval)


# --- pictures: tests/support/picture.py ---------------------------------

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from picture import PictureError, classes, classify, read_png  # noqa: E402


def compare_to_native(browser, native):
    """Fails unless the pictures differ at most on a thin edge of the blobs."""
    if len(browser) != len(native) or len(browser[0]) != len(native[0]):
        raise Failure("canvas is %dx%d, the native snapshot %dx%d" % (
            len(browser[0]), len(browser), len(native[0]), len(native)))
    height, width = len(native), len(native[0])
    red = sum(row.count("r") for row in native)
    if red == 0:
        raise Failure("the native snapshot shows no red")
    differing, off_edge = 0, []
    for y in range(height):
        for x in range(width):
            if browser[y][x] == native[y][x]:
                continue
            differing += 1
            # Rasterisers may disagree only where the native picture has both
            # colours within one pixel: on the outline of a blob.
            near = {native[j][i]
                    for j in range(max(0, y - 1), min(height, y + 2))
                    for i in range(max(0, x - 1), min(width, x + 2))}
            if near != {"g", "r"}:
                off_edge.append((x, y, browser[y][x], native[y][x]))
    if off_edge:
        raise Failure("%d pixels differ from the native snapshot away from the blobs' "
                      "outline, first at %s (browser %r, native %r)" % (
                          len(off_edge), off_edge[0][:2], off_edge[0][2], off_edge[0][3]))
    return differing, red


# --- WebDriver ---------------------------------------------------------------

class Browser:
    """Chromium under ChromeDriver. Whatever happens, close() (also after a
    failure here) leaves none of their processes behind."""

    def __init__(self, chromedriver, chromium, work):
        self.port = free_port()
        self.log = os.path.join(work, "chromedriver.log")
        # A process group of its own, so that close() can end the browser's
        # processes with it.
        self.driver = subprocess.Popen(
            [chromedriver, "--port=%d" % self.port, "--log-path=" + self.log],
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, start_new_session=True)
        self.base = "http://127.0.0.1:%d" % self.port
        self.session = None
        try:
            wait_for("ChromeDriver to answer", self._ready, 30)
            options = {"binary": chromium,
                       "args": CHROMIUM_ARGS + ["--user-data-dir=" + os.path.join(work, "profile")]}
            capabilities = {"browserName": "chrome", "goog:chromeOptions": options,
                            "goog:loggingPrefs": {"browser": "ALL"}}
            try:
                reply = self._call("POST", "/session",
                                   {"capabilities": {"alwaysMatch": capabilities}})
            except Failure as failure:
                raise Failure("Chromium (%s) did not start under ChromeDriver: %s\n"
                              "  To see why, run: %s --headless=new --no-sandbox --dump-dom "
                              "about:blank\n  ChromeDriver's log ends:\n%s" % (
                                  chromium, failure, chromium, self._log_tail()))
            self.session = "/session/" + reply["sessionId"]
        except BaseException:
            self.close()
            raise

    def _log_tail(self, lines=6):
        try:
            with open(self.log, errors="replace") as f:
                return "".join("    " + line for line in f.readlines()[-lines:])
        except OSError:
            return "    (none)\n"

    def _ready(self):
        if self.driver.poll() is not None:
            raise Failure("ChromeDriver exited at start with code %d" % self.driver.returncode)
        try:
            return self._call("GET", "/status").get("ready")
        except (OSError, Failure):
            return False

    def _call(self, method, path, body=None):
        data = None if body is None else json.dumps(body).encode()
        request = urllib.request.Request(self.base + path, data=data, method=method,
                                         headers={"Content-Type": "application/json"})
        try:
            with urllib.request.urlopen(request, timeout=60) as reply:
                return json.loads(reply.read())["value"]
        except urllib.error.HTTPError as error:
            body = error.read().decode(errors="replace")
            try:
                # The driver's own words, without its stack trace.
                body = json.loads(body)["value"]["message"]
            except (ValueError, KeyError, TypeError):
                pass
            raise Failure("WebDriver %s %s: %s" % (method, path, body[:400]))

    def call(self, method, path, body=None):
        return self._call(method, self.session + path, body)

    def open(self, url):
        self.call("POST", "/url", {"url": url})

    def script(self, source, *args):
        return self.call("POST", "/execute/sync", {"script": source, "args": list(args)})

    def animation_frames(self, count):
        """Returns once the page has passed `count` animation frames."""
        self.call("POST", "/timeouts", {"script": 60000})
        self.call("POST", "/execute/async", {"script": """
            const done = arguments[arguments.length - 1];
            let left = arguments[0];
            const step = () => (--left > 0 ? requestAnimationFrame(step) : done(true));
            requestAnimationFrame(step);""", "args": [count]})

    def element(self, css):
        found = self.call("POST", "/element", {"using": "css selector", "value": css})
        return next(iter(found.values()))

    def element_png(self, css):
        return base64.b64decode(self.call("GET", "/element/%s/screenshot" % self.element(css)))

    def console(self):
        """The console entries since the last call: (level, text)."""
        return [(e["level"], e["message"])
                for e in self.call("POST", "/se/log", {"type": "browser"})]

    def close(self):
        if self.session:
            try:
                self.call("DELETE", "")
            except (OSError, Failure):
                pass
            self.session = None
        self.driver.terminate()
        try:
            self.driver.wait(timeout=10)
        except subprocess.TimeoutExpired:
            pass
        # Anything of the group still there (the driver if it did not end, a
        # browser it left) goes now.
        try:
            os.killpg(self.driver.pid, signal.SIGKILL)
        except ProcessLookupError:
            pass
        self.driver.wait()


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


class QuietHandler(http.server.SimpleHTTPRequestHandler):
    def log_message(self, *args):
        pass


def serve(site):
    """An HTTP server for `site` on a free loopback port, in a thread."""
    handler = functools.partial(QuietHandler, directory=site)
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    return server


# --- The checks --------------------------------------------------------------

def program_messages(entries):
    """The console lines that the program or the page itself wrote."""
    texts = []
    for level, message in entries:
        # "http://host/ 41:32 "text"": the text is the quoted tail.
        text = message.split(" ", 2)[-1]
        if text.startswith('"') and text.endswith('"'):
            text = json.loads(text)
        texts.append((level, text))
    return texts


def unexpected_errors(messages):
    # Emscripten announces its GL emulation on the program's stderr.
    return [text for level, text in messages
            if level == "SEVERE" and "using emscripten GL" not in text]


def shows_red(browser):
    _, _, rows = read_png(browser.element_png("#canvas"))
    return any(classify(p) == "r" for row in rows[::8] for p in row[::8]) and rows


def check_paused_picture(browser, origin, native):
    browser.open(origin + "/?paused")
    wait_for('the title "Marching Cubes"',
             lambda: browser.script("return document.title") == "Marching Cubes", 30)
    first = wait_for("red blobs on the canvas", lambda: shows_red(browser), 30)
    differing, red = compare_to_native(classes(first), classes(native))
    print("ok: ?paused shows the native tick-0 picture (%d of %d red pixels differ, all on "
          "the outline)" % (differing, red))
    # The program draws one frame per animation frame of the page; over 60 of
    # them (a second or more) a running clock would have moved the balls.
    browser.animation_frames(60)
    _, _, later = read_png(browser.element_png("#canvas"))
    if later != first:
        raise Failure("with ?paused the picture changed: the clock moved")
    print("ok: with ?paused the picture holds still")
    errors = unexpected_errors(program_messages(browser.console()))
    if errors:
        raise Failure("console errors: %s" % errors)


def check_running_and_close(browser, origin):
    browser.open(origin + "/")
    wait_for('the title "Marching Cubes"',
             lambda: browser.script("return document.title") == "Marching Cubes", 30)
    first = wait_for("red blobs on the canvas", lambda: shows_red(browser), 30)
    wait_for("the picture to move (the animation running)",
             lambda: read_png(browser.element_png("#canvas"))[2] != first, 15)
    print("ok: without ?paused the picture moves")

    # Keys, the mouse and the wheel reach the program (which ignores them):
    # it takes each from the page's queue, and nothing goes wrong on the way.
    browser.script("""
        const canvas = document.getElementById('canvas');
        const at = {clientX: 40, clientY: 30, bubbles: true, cancelable: true};
        document.dispatchEvent(new KeyboardEvent('keydown', {code: 'Equal', key: '+'}));
        for (const [type, extra] of [['mousedown', {button: 0, buttons: 1}],
                                     ['mousemove', {buttons: 1}],
                                     ['mouseup', {button: 0}]]) {
            canvas.dispatchEvent(new MouseEvent(type, Object.assign(extra, at)));
        }
        canvas.dispatchEvent(new WheelEvent('wheel', Object.assign({deltaY: -100}, at)));""")
    wait_for("the program to take the page's input",
             lambda: browser.script("return Module.inputEvents.length") == 0, 15)
    print("ok: the page's keys, mouse and wheel reach the program")

    messages = []
    browser.call("POST", "/element/%s/click" % browser.element("#close"), {})

    def ended():
        messages.extend(program_messages(browser.console()))
        return any(text == "exit code 0" for _, text in messages)

    wait_for('"exit code 0" on the console after the close button', ended, 15)
    texts = [text for _, text in messages]
    if "Shutting down." not in texts or texts.index("Shutting down.") > texts.index(
            "exit code 0"):
        raise Failure('no "Shutting down." before the exit on the console: %s' % texts)
    status = browser.script("return document.getElementById('status').textContent")
    if status != "The program ended with exit code 0.":
        raise Failure("the page says %r" % status)
    if texts.count("Shutting down.") != 1:
        raise Failure('"Shutting down." appeared %d times' % texts.count("Shutting down."))
    errors = unexpected_errors(messages)
    if errors:
        raise Failure("console errors: %s" % errors)
    print('ok: the close button ends the program: "Shutting down.", exit code 0, '
          "shown in the page")


def check_viewer_keys(browser, origin):
    browser.open(origin + "/viewer.html")
    title = "return document.title"
    first = wait_for("the viewer's state in the title",
                     lambda: re.match(r"Marching Cubes - iso ([0-9.]+) - ([0-9]+) divisions",
                                      browser.script(title)), 30)
    wanted = "iso %.3f - %d divisions" % (float(first.group(1)) + 0.01, int(first.group(2)))
    # w (wireframe) and = (iso level up by 0.01), as the keyboard types them.
    browser.script("""
        for (const [code, key] of [['KeyW', 'w'], ['Equal', '=']]) {
            document.dispatchEvent(new KeyboardEvent('keydown', {code: code, key: key}));
        }""")
    wait_for('"%s" and wireframe in the title' % wanted,
             lambda: wanted in browser.script(title) and " - wireframe" in browser.script(title),
             15)
    errors = unexpected_errors(program_messages(browser.console()))
    if errors:
        raise Failure("console errors on the viewer's page: %s" % errors)
    print("ok: the viewer's page takes w and =: %s" % browser.script(title))


def volume_files(mcubes, work, reads_nifti):
    """The files the viewer's page is given, each with the raw layout to
    fill in (or None) and what the page must then say: the volume's size in
    the title, or a line in the page's message."""
    def sample(size, name, *extra, volume="sphere"):
        path = os.path.join(work, name)
        subprocess.run([mcubes, "sample", volume, "--size", str(size), "-o", path] +
                       list(extra), check=True, stdout=subprocess.DEVNULL)
        return path
    plain = sample(16, "sphere.nrrd")
    gzipped = sample(20, "sphere20.nrrd") + ".gz"
    with open(gzipped[:-3], "rb") as f, open(gzipped, "wb") as out:
        out.write(gzip.compress(f.read()))
    def ball(nx, ny, nz):
        """uint8 voxels, x fastest: 200 in a ball of radius 4 in the middle, 0 around."""
        return bytes(200 if (x - nx // 2) ** 2 + (y - ny // 2) ** 2 + (z - nz // 2) ** 2 < 16
                     else 0 for z in range(nz) for y in range(ny) for x in range(nx))
    raw = os.path.join(work, "ball.raw")
    with open(raw, "wb") as f:
        f.write(ball(10, 11, 12))
    metaimage = os.path.join(work, "ball.mha")
    with open(metaimage, "wb") as f:
        f.write(b"ObjectType = Image\nNDims = 3\nDimSize = 12 11 10\nElementType = MET_UCHAR\n"
                b"ElementDataFile = LOCAL\n" + ball(12, 11, 10))
    # NIfTI-1, given to the file input: a 348-byte header (voxel sizes from
    # pixdim), no extensions.
    header = bytearray(352)
    struct.pack_into("<i", header, 0, 348)
    struct.pack_into("<8h", header, 40, 3, 9, 10, 11, 1, 1, 1, 1)  # dim
    struct.pack_into("<2h", header, 70, 2, 8)  # datatype uint8, bitpix
    struct.pack_into("<8f", header, 76, *[1.0] * 8)  # pixdim
    struct.pack_into("<f", header, 108, 352.0)  # vox_offset
    header[344:348] = b"n+1\0"
    nifti = os.path.join(work, "head.nii")
    with open(nifti, "wb") as f:
        f.write(bytes(header) + ball(9, 10, 11))
    # Larger than a page's memory can grow to (sparse: it takes no disk).
    huge = os.path.join(work, "huge.raw")
    with open(huge, "wb") as f:
        f.truncate(3 << 30)
    return [(plain, None, "16x16x16 voxels"),
            # NRRD's gzip encoding and a whole .gz file, inflated in the page.
            (sample(12, "gzip-encoded.nrrd", "--gzip"), None, "12x12x12 voxels"),
            (gzipped, None, "20x20x20 voxels"),
            (raw, {"raw-x": 10, "raw-y": 11, "raw-z": 12}, "10x11x12 voxels"),
            (metaimage, None, "12x11x10 voxels"),
            # A segmentation shows its labels.
            (sample(14, "cells.seg.nrrd", volume="labels"), None,
             "5 of 5 labels - 14x14x14 voxels"),
            (nifti, None,
             "9x10x11 voxels" if reads_nifti else "head.nii: this build cannot read NIfTI"),
            (huge, {"raw-x": 2048, "raw-y": 1024, "raw-z": 1536},
             "huge.raw (3222 MB) is larger than this page can hold")]


def check_viewer_files(browser, origin, mcubes, work, reads_nifti):
    browser.open(origin + "/viewer.html")
    ready = "return !document.getElementById('volume-file').disabled"
    wait_for("the viewer's page to take files", lambda: browser.script(ready), 30)
    keys = browser.script("return document.getElementById('keys').textContent")
    if "clipping plane on and off" not in keys:
        raise Failure("the page lists no viewer keys: %r" % keys[:200])
    title = "return document.title"
    said = "return document.getElementById('volume-message').textContent"
    shown = None
    for path, raw, wanted in volume_files(mcubes, work, reads_nifti):
        browser.script("""
            const raw = arguments[0];
            document.getElementById('raw').checked = raw !== null;
            for (const id in raw || {}) document.getElementById(id).value = raw[id];""", raw)
        name = os.path.basename(path)
        if name.endswith(".gz"):
            # Dropped on the picture rather than picked with the button.
            with open(path, "rb") as f:
                browser.script("""
                    const bytes = Uint8Array.from(atob(arguments[0]), (c) => c.charCodeAt(0));
                    const files = new DataTransfer();
                    files.items.add(new File([bytes], arguments[1]));
                    document.getElementById('canvas').dispatchEvent(new DragEvent(
                        'drop', {dataTransfer: files, bubbles: true, cancelable: true}));""",
                               base64.b64encode(f.read()).decode(), name)
        else:
            field = browser.element("#volume-file")
            browser.call("POST", "/element/%s/value" % field, {"text": path})
        if wanted.endswith(" voxels"):
            wait_for('"%s" in the title after %s' % (wanted, name),
                     lambda: wanted in browser.script(title) and
                     browser.script("return document.getElementById('canvas').style."
                                    "visibility") == "visible", 30)
            _, _, rows = read_png(browser.element_png("#canvas"))
            surface = sum(1 for row in rows[::4] for p in row[::4] if classify(p) != "g")
            if surface < 100:
                raise Failure("%s: the canvas shows only %d non-background pixels of %d" % (
                    name, surface, len(rows[::4]) * len(rows[0][::4])))
            shown = wanted
            print("ok: %s opens in the viewer's page: %s (%d of the sampled pixels show "
                  "the surface)" % (name, browser.script(title), surface))
        else:
            wait_for('"%s" on the page' % wanted,
                     lambda: wanted in browser.script(said), 30)
            if shown not in browser.script(title):
                raise Failure("after %s the viewer no longer shows %s: %s" % (
                    name, shown, browser.script(title)))
            print("ok: %s is refused in one line, the viewer goes on: %s" % (
                name, browser.script(said)))
    errors = [text for text in unexpected_errors(program_messages(browser.console()))
              if "cannot read NIfTI" not in text]
    if errors:
        raise Failure("console errors on the viewer's page: %s" % errors)


def check_message_box(browser, origin):
    browser.open(origin + "/")
    box_shown = "return !document.getElementById('message-box').hidden"
    wait_for("the message box in the page", lambda: browser.script(box_shown), 30)
    caption, text = browser.script(
        "return [document.getElementById('message-caption').textContent,"
        " document.getElementById('message-text').textContent]")
    if (caption, text) != ("Probe", "Something failed.\nSecond line."):
        raise Failure("the message box shows %r, %r" % (caption, text))
    # Modal: over many frames of the page the program does not go on.
    browser.animation_frames(30)
    messages = program_messages(browser.console())
    if not browser.script(box_shown) or any("returned" in text for _, text in messages):
        raise Failure("MessageBoxA returned before OK was pressed: %s" % messages)

    browser.call("POST", "/element/%s/click" % browser.element("#message-ok"), {})

    def ended():
        messages.extend(program_messages(browser.console()))
        return any(text.startswith("exit code") for _, text in messages)

    wait_for("the program to end after OK", ended, 15)
    texts = [text for _, text in messages]
    if texts[-2:] != ["MessageBoxA returned 1", "exit code 3"]:
        raise Failure("after OK the console shows %s" % texts)
    if browser.script(box_shown):
        raise Failure("the message box stays after OK")
    print("ok: a message box shows caption and text in the page, waits for OK (IDOK), "
          "and the program's exit code 3 reaches the page")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--site", required=True, help="the browser build's folder")
    parser.add_argument("--message-box-site", required=True,
                        help="the page with a program that shows one message box")
    parser.add_argument("--mcubes", required=True, help="the native mcubes")
    parser.add_argument("--reads-nifti", action="store_true",
                        help="the browser build has the NIfTI library")
    parser.add_argument("--chromium", help="the browser (default: chromium on the PATH)")
    parser.add_argument("--chromedriver", help="its driver (default: chromedriver on the PATH)")
    args = parser.parse_args()
    # Stopped from outside (CTest's time limit), the test still closes the
    # browser and the servers on its way out.
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(128 + signal.SIGTERM))

    for path, what in ((os.path.join(args.site, "index.html"), "the browser build"),
                       (os.path.join(args.site, "viewer.html"), "the browser build"),
                       (os.path.join(args.message_box_site, "index.html"), "the browser build"),
                       (args.mcubes, "the native release build (cmake --build --preset release)")):
        if not os.path.exists(path):
            print("FAIL: %s is missing: build %s first" % (path, what))
            return 1
    chromium = args.chromium or shutil.which("chromium") or shutil.which("chromium-browser")
    chromedriver = args.chromedriver or shutil.which("chromedriver")
    if not chromium or not chromedriver:
        print("FAIL: needs chromium and chromedriver (scripts/install-deps --web)")
        return 1

    work = tempfile.mkdtemp(prefix="mcubes-browser-")
    server = serve(args.site)
    probe_server = serve(args.message_box_site)
    browser = None
    try:
        snapshot = os.path.join(work, "tick0.png")
        subprocess.run([args.mcubes, "snapshot", "--tick", "0", "--size",
                        "%dx%d" % (WIDTH, HEIGHT), "-o", snapshot], check=True)
        with open(snapshot, "rb") as f:
            _, _, native = read_png(f.read())
        browser = Browser(chromedriver, chromium, work)
        origin = "http://127.0.0.1:%d" % server.server_address[1]
        check_paused_picture(browser, origin, native)
        check_running_and_close(browser, origin)
        check_viewer_keys(browser, origin)
        check_viewer_files(browser, origin, args.mcubes, work, args.reads_nifti)
        check_message_box(browser, "http://127.0.0.1:%d" % probe_server.server_address[1])
    except (Failure, PictureError, subprocess.CalledProcessError) as failure:
        print("FAIL: %s" % failure)
        return 1
    finally:
        if browser:
            browser.close()
        server.shutdown()
        probe_server.shutdown()
        shutil.rmtree(work, ignore_errors=True)
    print("all browser checks passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
