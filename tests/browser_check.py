#!/usr/bin/env python3
"""Loads pages in headless Chromium, as a reader's browser would, and checks
what a reader would see.

    browser_check.py PAGE OUTDIR [--pdf-pages PAPER=N ...] [--docs-screenshot PNG]
    browser_check.py --phone [--phone-width 390] [--inside SELECTOR ...] PAGE...
    browser_check.py --screenshots OUTDIR [--widths 390,1280] [--height H] PAGE...

The browser runs with JavaScript disabled and the network off. Through the
DevTools protocol (over a pipe, so no port is opened) it talks to Chromium.

The full check of a self-contained results page loads it at 1280 and 360
CSS pixels wide and in dark mode, saves screenshots and A4 and Letter PDFs
to OUTDIR, and fails (status 1) when:
  - the browser logs an error or the page requests anything but itself;
  - the page is wider than the window (at 360 px, tables must scroll in
    their own boxes);
  - a screenshot is blank, or dark mode does not darken the page;
  - a PDF does not have the expected number of pages.

The phone check loads each page on a phone 390 CSS px wide unless told (its
viewport tag honoured) and fails when a page is wider than the window, when an
element that a --inside selector matches is hidden or reaches outside the
window, when a selector matches nothing, when a chart's text renders under
11 CSS px or reaches outside its chart (a chart may scroll in its own box),
or when a page asks for anything but local files.

--screenshots writes OUTDIR/<page>-<width>.png of each page in light mode,
the whole page or its top H CSS px (widths below 600 as a phone).
--phone and --screenshots combine.

Exits with status 77 when Chromium is not installed.
"""

import argparse
import base64
import fcntl
import json
import os
import pathlib
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import zlib

SKIP = 77
FLAGS = [
    "--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
    "--disable-background-networking", "--disable-component-update", "--disable-sync",
    "--disable-extensions", "--disable-default-apps", "--mute-audio", "--hide-scrollbars",
    "--blink-settings=scriptEnabled=false", "--remote-debugging-pipe",
]
MIN_CHART_TEXT = 11  # CSS px, on a phone too
PAPER = {"A4": (8.27, 11.69), "Letter": (8.5, 11.0)}


def find_chromium():
    for name in (os.environ.get("CHROMIUM"), "chromium", "chromium-browser"):
        if name and shutil.which(name):
            return shutil.which(name)
    return None


class Browser:
    """One Chromium process spoken to over --remote-debugging-pipe: requests
    and answers are JSON texts ended by a NUL byte, on fds 3 (to the browser)
    and 4 (from it)."""

    def __init__(self, program, profile):
        def high(fd):  # out of the way of the child's fds 3 and 4
            moved = fcntl.fcntl(fd, fcntl.F_DUPFD, 10)
            os.close(fd)
            return moved

        self.from_browser, child_out = map(high, os.pipe())
        child_in, self.to_browser = map(high, os.pipe())

        def child_fds():
            os.dup2(child_in, 3)
            os.dup2(child_out, 4)

        self.log = open(os.path.join(profile, "chromium.log"), "wb")
        self.process = subprocess.Popen(
            [program, *FLAGS, "--user-data-dir=" + os.path.join(profile, "data"), "about:blank"],
            preexec_fn=child_fds, close_fds=False, stdin=subprocess.DEVNULL,
            stdout=self.log, stderr=subprocess.STDOUT)
        os.close(child_in)
        os.close(child_out)
        self.pending = b""
        self.next_id = 0
        self.events = []

    def receive(self):
        while b"\0" not in self.pending:
            chunk = os.read(self.from_browser, 1 << 20)
            if not chunk:
                raise RuntimeError("the browser closed the pipe (see chromium.log)")
            self.pending += chunk
        message, self.pending = self.pending.split(b"\0", 1)
        return json.loads(message)

    def call(self, method, params=None, session=None):
        self.next_id += 1
        request = {"id": self.next_id, "method": method, "params": params or {}}
        if session:
            request["sessionId"] = session
        os.write(self.to_browser, json.dumps(request).encode() + b"\0")
        while True:
            message = self.receive()
            if message.get("id") == self.next_id:
                if "error" in message:
                    raise RuntimeError(f"{method}: {message['error']}")
                return message.get("result", {})
            self.events.append(message)

    def wait_for(self, event):
        for i, message in enumerate(self.events):
            if message.get("method") == event:
                del self.events[: i + 1]
                return
        while True:
            message = self.receive()
            if message.get("method") == event:
                return
            self.events.append(message)

    def close(self):
        try:
            self.call("Browser.close")
        except RuntimeError:
            pass
        try:
            self.process.wait(timeout=20)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()
        self.log.close()


def png_pixels(data):
    """(width, height, rows of RGB tuples) of an 8-bit RGB or RGBA PNG."""
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        raise ValueError("not a PNG")
    pos, idat, header = 8, b"", None
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        pos += 12 + length
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            idat += body
    width, height, depth, colour, _, _, interlace = header
    if depth != 8 or colour not in (2, 6) or interlace:
        raise ValueError(f"unexpected PNG layout {header}")
    channels = 3 if colour == 2 else 4
    raw = zlib.decompress(idat)
    stride = width * channels
    rows, previous = [], bytearray(stride)
    for y in range(height):
        kind = raw[y * (stride + 1)]
        line = bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for x in range(stride):
            left = line[x - channels] if x >= channels else 0
            up = previous[x]
            corner = previous[x - channels] if x >= channels else 0
            if kind == 1:
                line[x] = (line[x] + left) & 0xFF
            elif kind == 2:
                line[x] = (line[x] + up) & 0xFF
            elif kind == 3:
                line[x] = (line[x] + (left + up) // 2) & 0xFF
            elif kind == 4:
                p = left + up - corner
                pa, pb, pc = abs(p - left), abs(p - up), abs(p - corner)
                line[x] = (line[x] + (left if pa <= pb and pa <= pc else up if pb <= pc else corner)) & 0xFF
        rows.append([tuple(line[i:i + 3]) for i in range(0, stride, channels)])
        previous = line
    return width, height, rows


def luminance(rgb):
    r, g, b = rgb
    return 0.2126 * r + 0.7152 * g + 0.0722 * b


def ink(rows, step=1):
    """Share of sampled pixels that differ from the page background (the top
    left pixel), and the number of distinct sampled colours."""
    background = rows[0][0]
    sampled = [p for row in rows[::step] for p in row[::step]]
    differing = sum(1 for p in sampled if max(abs(a - b) for a, b in zip(p, background)) > 24)
    return differing / len(sampled), len(set(sampled))


def pdf_pages(data):
    return len(re.findall(rb"/Type\s*/Page(?![a-zA-Z])", data))


class Tab:
    """One page of the browser with JavaScript off and the network offline,
    sized like a desktop window or a phone."""

    def __init__(self, browser):
        self.browser = browser
        target = browser.call("Target.createTarget", {"url": "about:blank"})["targetId"]
        self.session = browser.call("Target.attachToTarget", {"targetId": target, "flatten": True})["sessionId"]
        for domain in ("Page", "Runtime", "Log", "Network"):
            self.call(domain + ".enable")
        self.call("Emulation.setScriptExecutionDisabled", {"value": True})
        self.call("Network.emulateNetworkConditions",
                  {"offline": True, "latency": 0, "downloadThroughput": -1, "uploadThroughput": -1})

    def call(self, method, params=None):
        return self.browser.call(method, params, self.session)

    def layout(self, width, dark=False, phone=False):
        """The page's CSS size at that window width. A phone honours the
        page's viewport tag, as a real one does."""
        self.call("Emulation.setDeviceMetricsOverride",
                  {"width": width, "height": 844 if phone else 900, "deviceScaleFactor": 1, "mobile": phone})
        self.call("Emulation.setEmulatedMedia",
                  {"features": [{"name": "prefers-color-scheme", "value": "dark" if dark else "light"}]})
        return self.call("Page.getLayoutMetrics")["cssContentSize"]

    def load(self, url):
        self.call("Page.navigate", {"url": url})
        self.browser.wait_for("Page.loadEventFired")

    def screenshot(self, size, height=None):
        """PNG bytes of the page from its top, the whole page or the first
        `height` CSS px."""
        height = size["height"] if height is None else min(size["height"], height)
        shot = self.call("Page.captureScreenshot", {
            "format": "png", "captureBeyondViewport": True,
            "clip": {"x": 0, "y": 0, "width": size["width"], "height": height, "scale": 1}})
        return base64.b64decode(shot["data"])

    def scroll_width(self):
        """How wide the document is, the part a reader scrolls to included.
        DevTools may evaluate although the page's own scripts may not run."""
        return self.call("Runtime.evaluate", {
            "expression": "document.documentElement.scrollWidth", "returnByValue": True})["result"]["value"]

    def chart_texts(self):
        """[rendered font size in CSS px, whether it reaches outside its
        chart, text] of every text of every SVG on the page."""
        return self.call("Runtime.evaluate", {"returnByValue": True, "expression": """
            Array.from(document.querySelectorAll('svg')).flatMap(svg => {
                const box = svg.getBoundingClientRect(), view = svg.viewBox.baseVal;
                const scale = view && view.width ? box.width / view.width : 1;
                return Array.from(svg.querySelectorAll('text')).map(t => {
                    const r = t.getBoundingClientRect();
                    return [parseFloat(getComputedStyle(t).fontSize) * scale,
                            r.left < box.left - 0.5 || r.right > box.right + 0.5 ||
                            r.top < box.top - 0.5 || r.bottom > box.bottom + 0.5, t.textContent];
                });
            })"""})["result"]["value"]

    def quads(self, selector):
        """Border quads (x1, y1, ... x4, y4) of what the selector matches;
        None for an element that is not laid out (hidden)."""
        document = self.call("DOM.getDocument")["root"]["nodeId"]
        nodes = self.call("DOM.querySelectorAll", {"nodeId": document, "selector": selector})["nodeIds"]
        found = []
        for node in nodes:
            try:
                found.append(self.call("DOM.getBoxModel", {"nodeId": node})["model"]["border"])
            except RuntimeError:
                found.append(None)
        return found


def full_check(tab, page, out, expected_pages, docs_screenshot):
    """The results page's checks: widths, screenshots, dark mode, paper."""
    url = page.as_uri()
    failures = []

    def screenshot(name, size, full=True):
        """Saves the page as a reader sees it; returns the pixels of a
        smaller copy, which is enough to judge and quick to decode."""
        height = size["height"] if full else min(size["height"], 900)
        clip = {"x": 0, "y": 0, "width": size["width"], "height": height}
        for scale, keep in ((1, True), (min(1.0, (250000 / (clip["width"] * clip["height"])) ** 0.5), False)):
            shot = tab.call("Page.captureScreenshot", {
                "format": "png", "captureBeyondViewport": full, "clip": {**clip, "scale": scale}})
            data = base64.b64decode(shot["data"])
            if keep:
                (out / name).write_bytes(data)
        return png_pixels(data)

    tab.layout(1280)
    tab.load(url)

    for width in (1280, 360):
        size = tab.layout(width)
        if size["width"] > width:
            failures.append(f"at {width} px the page is {size['width']} px wide: something does not fit")
        _, _, rows = screenshot(f"page-{width}.png", size)
        share, colours = ink(rows)
        print(f"{width} px: {size['width']:.0f} x {size['height']:.0f} CSS px, "
              f"{share:.1%} of the page inked, {colours} colours")
        if share < 0.02 or colours < 8:
            failures.append(f"the {width} px screenshot is blank or nearly so")
        if luminance(rows[0][0]) < 200:
            failures.append(f"the {width} px screenshot has a dark background in light mode")

    size = tab.layout(1280, dark=True)
    _, _, rows = screenshot("page-1280-dark.png", size, full=False)
    share, _ = ink(rows)
    print(f"dark: background luminance {luminance(rows[0][0]):.0f}, {share:.1%} inked")
    if luminance(rows[0][0]) > 60 or share < 0.02:
        failures.append("dark mode does not show a dark page with content")
    tab.layout(1280)

    if docs_screenshot:
        # The README's picture: the last race, from its heading to the end
        # of its charts.
        top = tab.quads("section[id^=session-]:has(figure)")[-1][1] - 16
        bottom = tab.quads("section[id^=session-] figure")[-1][5] + 16
        shot = tab.call("Page.captureScreenshot", {
            "format": "png", "captureBeyondViewport": True,
            "clip": {"x": 0, "y": top, "width": 1280, "height": bottom - top, "scale": 1}})
        pathlib.Path(docs_screenshot).write_bytes(base64.b64decode(shot["data"]))

    for paper, (width, height) in PAPER.items():
        pdf = base64.b64decode(tab.call("Page.printToPDF", {
            "paperWidth": width, "paperHeight": height, "printBackground": False})["data"])
        (out / f"page-{paper}.pdf").write_bytes(pdf)
        pages = pdf_pages(pdf)
        print(f"{paper}: {pages} pages")
        if paper in expected_pages and pages != expected_pages[paper]:
            failures.append(f"the {paper} PDF has {pages} pages, expected {expected_pages[paper]}")

    # One self-contained file: it asks for nothing but itself.
    failures += event_failures(tab.browser, lambda requested: requested == url)
    return failures


def event_failures(browser, allowed):
    """Errors the browser logged and requests it made that `allowed` refuses."""
    failures = []
    for message in browser.events:
        method, params = message.get("method"), message.get("params", {})
        if method == "Log.entryAdded" and params["entry"]["level"] == "error":
            failures.append("browser error: " + params["entry"]["text"])
        elif method == "Runtime.exceptionThrown":
            failures.append("script exception: " + json.dumps(params)[:200])
        elif method == "Runtime.consoleAPICalled" and params.get("type") == "error":
            failures.append("console error: " + json.dumps(params.get("args"))[:200])
        elif method == "Network.requestWillBeSent" and not allowed(params["request"]["url"]):
            failures.append("the page requested " + params["request"]["url"])
    browser.events.clear()
    return failures


def local(url):
    return url.startswith("file:") or url.startswith("data:")


def phone_check(tab, pages, width, selectors):
    """On a phone `width` CSS px wide: no page is wider than the window, and
    every element the selectors match lies inside it, so a reader sees it
    without scrolling sideways."""
    failures = []
    for page in pages:
        tab.layout(width, phone=True)
        tab.load(page.as_uri())
        wide = tab.scroll_width()
        print(f"{page.name} at {width} px: {wide} CSS px wide")
        if wide > width:
            failures.append(f"{page.name}: at {width} px the page is {wide} px wide")
        for selector in selectors:
            boxes = [quad and (min(quad[0::2]), max(quad[0::2])) for quad in tab.quads(selector)]
            hidden = sum(1 for box in boxes if box is None)
            outside = [box for box in boxes if box and (box[0] < 0 or box[1] > width)]
            print(f"  {selector}: {len(boxes)} elements, {hidden} hidden, {len(outside)} outside the window")
            if not boxes:
                failures.append(f"{page.name}: nothing matches {selector}")
            elif hidden:
                failures.append(f"{page.name}: {hidden} of {len(boxes)} {selector} are hidden")
            if outside:
                left, right = outside[0]
                failures.append(f"{page.name}: {len(outside)} of {len(boxes)} {selector} are outside the "
                                f"window, the first from x={left:.0f} to x={right:.0f}")
        texts = tab.chart_texts()
        small = [t for t in texts if t[0] < MIN_CHART_TEXT - 0.01]
        cut = [t for t in texts if t[1]]
        if texts:
            print(f"  chart texts: {len(texts)}, smallest {min(t[0] for t in texts):.1f} px, {len(cut)} cut off")
        if small:
            failures.append(f"{page.name}: {len(small)} chart texts under {MIN_CHART_TEXT} px, "
                            f"{small[0][2]!r} at {small[0][0]:.1f} px")
        if cut:
            failures.append(f"{page.name}: {len(cut)} chart texts reach outside their chart, the first {cut[0][2]!r}")
        failures += [f"{page.name}: {f}" for f in event_failures(tab.browser, local)]
    return failures


def screenshots(tab, pages, out, widths, height):
    """Each page at each width, in light mode: OUTDIR/<page>-<width>.png."""
    for page in pages:
        for width in widths:
            phone = width < 600
            tab.layout(width, phone=phone)
            tab.load(page.as_uri())
            size = tab.layout(width, phone=phone)
            name = f"{page.stem}-{width}.png"
            (out / name).write_bytes(tab.screenshot(size, height))
            print(f"{name}: {size['width']:.0f} x {min(size['height'], height or size['height']):.0f} CSS px")
    return event_failures(tab.browser, local)


def main():
    parser = argparse.ArgumentParser(usage=__doc__.split("\n\n")[1])
    parser.add_argument("paths", nargs="+", metavar="PAGE")
    parser.add_argument("--pdf-pages", action="append", default=[], metavar="PAPER=N",
                        help="pages expected on A4 or Letter paper")
    parser.add_argument("--docs-screenshot", help="also write the README's screenshot here")
    parser.add_argument("--phone", action="store_true", help="the phone check")
    parser.add_argument("--phone-width", type=int, default=390, help="with --phone: the window width")
    parser.add_argument("--inside", action="append", default=[], metavar="SELECTOR",
                        help="with --phone: elements that must lie inside the window")
    parser.add_argument("--screenshots", metavar="OUTDIR", help="PNGs of each page at 390 and 1280 px")
    parser.add_argument("--widths", default="390,1280", help="with --screenshots: the window widths")
    parser.add_argument("--height", type=int, help="with --screenshots: only the top HEIGHT CSS px")
    args = parser.parse_args()

    modes = args.phone or args.screenshots is not None
    if not modes and len(args.paths) != 2:
        parser.error("the full check takes PAGE and OUTDIR")
    if args.inside and not args.phone:
        parser.error("--inside goes with --phone")
    pages = [pathlib.Path(p).resolve() for p in (args.paths if modes else args.paths[:1])]
    for page in pages:
        if not page.is_file():
            parser.error(f"no such page: {page}")

    program = find_chromium()
    if not program:
        print("SKIP: Chromium is not installed (Debian package chromium); the browser check did not run")
        return SKIP

    failures = []
    profile = tempfile.mkdtemp(prefix="gridtally-chromium-")
    browser = Browser(program, profile)
    try:
        tab = Tab(browser)
        if not modes:
            out = pathlib.Path(args.paths[1])
            out.mkdir(parents=True, exist_ok=True)
            expected = dict((paper, int(n)) for paper, n in (item.split("=") for item in args.pdf_pages))
            failures += full_check(tab, pages[0], out, expected, args.docs_screenshot)
        if args.phone:
            failures += phone_check(tab, pages, args.phone_width, args.inside)
        if args.screenshots is not None:
            out = pathlib.Path(args.screenshots)
            out.mkdir(parents=True, exist_ok=True)
            widths = [int(w) for w in args.widths.split(",")]
            failures += screenshots(tab, pages, out, widths, args.height)
    finally:
        browser.close()
        shutil.rmtree(profile, ignore_errors=True)

    for failure in failures:
        print("FAILED: " + failure)
    return 1 if failures else 0

if __name__ == "__main__":
    sys.exit(main())
