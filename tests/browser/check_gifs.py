#!/usr/bin/env python3
"""Checks that GIFs play in a real browser: headless Chromium decodes each file with
WebCodecs' ImageDecoder and the results are held against giflib's reading of the
same file (tests/e2e/gif_check.py).

Usage:
  check_gifs.py [--chromium PATH] [--timeout SECONDS] FILE.gif...

For each file it checks, and prints a report of:
  - the frame count Chromium finds equals giflib's;
  - repetitionCount is Infinity, and the file's NETSCAPE2.0 loop count is 0 (forever);
    a single frame may go without the extension (Chromium plays an animation without
    it once, repetitionCount 0, but reports Infinity for a still picture);
  - each frame's duration is its delay x 10 ms exactly. ImageDecoder reports the
    file's own delay, also for delays of 0 and 1 (0 and 10 ms: measured with this
    Chromium), although browsers play such frames as 100 ms when they animate an
    <img>; the report notes such delays, since a page would show them slower;
  - the first and the last frame, drawn on a canvas and read back as RGBA, equal
    giflib's rendering exactly (max channel difference and differing pixels shown).
Exit status: 0 every file passed, 1 a file failed, 2 usage error or no browser result
(Chromium missing, crashed or timed out).

How: a small HTTP server on 127.0.0.1 (a secure context, which ImageDecoder needs)
serves a page and the files; the page posts its findings back; Chromium runs
headless, without sandbox or GPU (root in a container without a display), with
its own temporary profile, and is ended when the results are in or the time is up.
Environment: CHROMIUM overrides the browser command (default: chromium).
"""
import argparse
import http.server
import json
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import threading

sys.dont_write_bytecode = True  # no __pycache__ left in the source tree
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
import gif_check  # noqa: E402

PAGE = """<!doctype html>
<meta charset="utf-8">
<title>GIF check</title>
<script>
const files = %s;
async function post(path, body) {
  await fetch(path, {method: "POST", body: body});
}
async function check(file) {
  const data = await (await fetch("/gif/" + file.id)).arrayBuffer();
  const decoder = new ImageDecoder({data: data, type: "image/gif"});
  await decoder.tracks.ready;
  await decoder.completed;
  const track = decoder.tracks.selectedTrack;
  const report = {
    frameCount: track.frameCount,
    animated: track.animated,
    repetitionCount: String(track.repetitionCount),  // Infinity has no JSON form
    durations: [],
    compared: [],
  };
  for (let i = 0; i < track.frameCount; i++) {
    const result = await decoder.decode({frameIndex: i});
    const image = result.image;
    report.durations.push(image.duration);
    if (file.compare.includes(i)) {
      const canvas = new OffscreenCanvas(image.displayWidth, image.displayHeight);
      const context = canvas.getContext("2d", {willReadFrequently: true});
      context.drawImage(image, 0, 0);
      const pixels = context.getImageData(0, 0, canvas.width, canvas.height).data;
      report.compared.push({frame: i, width: canvas.width, height: canvas.height, format: image.format});
      await post("/pixels/" + file.id + "/" + i, pixels);
    }
    image.close();
  }
  decoder.close();
  await post("/report/" + file.id, JSON.stringify(report));
}
(async () => {
  for (const file of files) {
    try {
      if (typeof ImageDecoder === "undefined") throw new Error("no ImageDecoder in this browser");
      await check(file);
    } catch (error) {
      await post("/report/" + file.id, JSON.stringify({error: String(error)}));
    }
  }
  await post("/done", "");
})();
</script>
"""


def serve(paths, compare):
    """Starts the server; returns it and the dict it fills: reports by file index,
    pixels by (file index, frame), and the event set when the page is done."""
    page = PAGE % json.dumps([{"id": i, "compare": compare[i]} for i in range(len(paths))])
    found = {"reports": {}, "pixels": {}, "done": threading.Event()}

    class Handler(http.server.BaseHTTPRequestHandler):
        def log_message(self, *args):
            pass

        def reply(self, status, body=b"", kind="text/plain"):
            self.send_response(status)
            self.send_header("Content-Type", kind)
            self.send_header("Content-Length", str(len(body)))
            self.send_header("Cache-Control", "no-store")
            self.end_headers()
            self.wfile.write(body)

        def do_GET(self):
            parts = self.path.strip("/").split("/")
            if self.path == "/":
                self.reply(200, page.encode(), "text/html; charset=utf-8")
            elif len(parts) == 2 and parts[0] == "gif" and parts[1].isdigit() and int(parts[1]) < len(paths):
                with open(paths[int(parts[1])], "rb") as f:
                    self.reply(200, f.read(), "image/gif")
            else:
                self.reply(404)

        def do_POST(self):
            body = self.rfile.read(int(self.headers.get("Content-Length", 0)))
            parts = self.path.strip("/").split("/")
            if parts[0] == "report":
                found["reports"][int(parts[1])] = json.loads(body)
            elif parts[0] == "pixels":
                found["pixels"][(int(parts[1]), int(parts[2]))] = body
            elif parts[0] == "done":
                found["done"].set()
            self.reply(200)

    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    return server, found


def run_chromium(command, url, seconds, found):
    """Runs Chromium on the page until the page is done or the time is up; returns
    None or what went wrong."""
    profile = tempfile.mkdtemp(prefix="gif-check-chromium-")
    flags = [
        "--headless", "--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage",
        "--user-data-dir=" + profile, "--no-first-run", "--no-default-browser-check",
        "--disable-extensions", "--disable-background-networking", "--disable-component-update",
        "--disable-sync", "--disable-default-apps", "--metrics-recording-only", "--mute-audio",
        # Nothing but our own server is ever reached.
        "--host-resolver-rules=MAP * ~NOTFOUND, EXCLUDE 127.0.0.1",
    ]
    log = open(os.path.join(profile, "chromium.log"), "w+")
    # `timeout` bounds the browser even if this script is killed before it ends it.
    browser = subprocess.Popen(["timeout", "-k", "5", str(seconds + 10), command] + flags + [url],
                               stdout=log, stderr=subprocess.STDOUT, start_new_session=True)
    problem = None
    try:
        finished = found["done"].wait(seconds)
        if not finished:
            exited = browser.poll()
            log.seek(0)
            tail = "".join(log.readlines()[-15:])
            problem = (f"Chromium exited with status {exited}" if exited is not None else
                       f"no result from Chromium within {seconds} s") + (f"; its last output:\n{tail}" if tail else "")
    finally:
        if browser.poll() is None:
            os.killpg(browser.pid, signal.SIGTERM)
            try:
                browser.wait(10)
            except subprocess.TimeoutExpired:
                os.killpg(browser.pid, signal.SIGKILL)
                browser.wait()
        log.close()
        shutil.rmtree(profile, ignore_errors=True)
    return problem


def expected_duration(delay):
    """Microseconds ImageDecoder reports for a frame: its delay as written (a frame
    without a graphic control extension has none)."""
    return (delay or 0) * 10_000


def describe_delay(delay):
    text = f"{delay} -> {(delay or 0) * 10} ms"
    return text + " (an <img> plays it as 100 ms)" if delay is None or delay <= 1 else text


def pixel_difference(ours, theirs):
    """(max channel difference, count of pixels with any channel different)."""
    if ours == theirs:
        return 0, 0
    if len(ours) != len(theirs):
        return None, None
    biggest, pixels = 0, 0
    for p in range(0, len(ours), 4):
        a, b = ours[p:p + 4], theirs[p:p + 4]
        if a != b:
            pixels += 1
            biggest = max(biggest, max(abs(x - y) for x, y in zip(a, b)))
    return biggest, pixels


def judge(path, gif, report, pixels):
    """Prints the report of one file; returns True when it passed."""
    lines, failed = [], False

    def check(ok, text):
        nonlocal failed
        failed |= not ok
        lines.append(("  ok    " if ok else "  FAIL  ") + text)

    if "error" in report:
        check(False, f"Chromium could not decode it: {report['error']}")
    else:
        frames = gif["frames"]
        check(report["frameCount"] == len(frames),
              f"frame count: Chromium {report['frameCount']}, giflib {len(frames)}")
        # Chromium plays a GIF without the NETSCAPE2.0 loop once (repetitionCount 0);
        # a single frame has nothing to loop, and Chromium reports Infinity for it anyway.
        loop = gif["loop_count"]
        check(report["repetitionCount"] == "Infinity" and (loop == 0 or len(frames) == 1 and loop is None),
              f"repetitionCount {report['repetitionCount']} (NETSCAPE2.0 loop count {loop}; 0 = forever"
              + (", none needed for one frame)" if len(frames) == 1 else ")"))
        wrong = [(i, f["delay"], d) for i, (f, d) in enumerate(zip(frames, report["durations"]))
                 if d != expected_duration(f["delay"])]
        delays = sorted({f["delay"] for f in frames}, key=lambda d: -1 if d is None else d)
        check(not wrong, "durations: " + (
            "all as expected (delays " + ", ".join(describe_delay(d) for d in delays) + ")"
            if not wrong else "; ".join(f"frame {i} delay {d} played {u} us, expected {expected_duration(d)}"
                                        for i, d, u in wrong[:5]) + (" ..." if len(wrong) > 5 else "")))
        for shown in report["compared"]:
            n = shown["frame"]
            width, height, ours = gif_check.render_frame_rgba(path, n, gif)
            theirs = pixels.get(n, b"")
            if (shown["width"], shown["height"]) != (width, height):
                check(False, f"frame {n}: Chromium {shown['width']}x{shown['height']}, giflib {width}x{height}")
                continue
            biggest, differing = pixel_difference(ours, theirs)
            check(differing == 0, f"frame {n} ({width}x{height}, {shown['format']}): max channel difference "
                                  f"{biggest}, differing pixels {differing}")
    print(f"{path}: {'FAIL' if failed else 'PASS'}")
    print("\n".join(lines))
    return not failed


def main():
    parser = argparse.ArgumentParser(description="Checks GIFs in headless Chromium against giflib.")
    parser.add_argument("--chromium", default=os.environ.get("CHROMIUM", "chromium"))
    parser.add_argument("--timeout", type=int, default=0, help="seconds for the browser (default: 60 + 1 per frame)")
    parser.add_argument("files", nargs="+")
    options = parser.parse_args()
    if not shutil.which(options.chromium):
        print(f"check_gifs: {options.chromium} not found (Debian package chromium; scripts/setup.sh installs it)",
              file=sys.stderr)
        return 2
    gifs = []
    for path in options.files:
        try:
            gifs.append(gif_check.read_gif(path))
        except gif_check.GifError as error:
            print(f"check_gifs: giflib cannot read it: {error}", file=sys.stderr)
            return 1
    compare = [sorted({0, max(len(g["frames"]) - 1, 0)}) for g in gifs]
    seconds = options.timeout or 60 + sum(len(g["frames"]) for g in gifs)
    server, found = serve(options.files, compare)
    try:
        problem = run_chromium(options.chromium, f"http://127.0.0.1:{server.server_address[1]}/", seconds, found)
    finally:
        server.shutdown()
    if problem:
        print(f"check_gifs: {problem}", file=sys.stderr)
        return 2
    passed = 0
    for i, path in enumerate(options.files):
        pixels = {frame: data for (file, frame), data in found["pixels"].items() if file == i}
        passed += judge(path, gifs[i], found["reports"].get(i, {"error": "the page sent no report"}), pixels)
    print(f"check_gifs: {passed} of {len(options.files)} files passed")
    return 0 if passed == len(options.files) else 1


if __name__ == "__main__":
    sys.exit(main())
