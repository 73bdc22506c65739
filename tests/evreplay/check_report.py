#!/usr/bin/env python3
"""evreplay's HTML report as a browser shows it: evreplay writes the report
and its JSON lines for the same logs; headless Chromium (DevTools protocol
over a pipe) opens the page offline and the rendered page must show the
counts of the JSON lines, one bar of non-zero size per hour with a
detection, text from the log escaped, and nothing loaded from elsewhere.

    check_report.py EVREPLAY LOG... [--screenshot PNG]
    check_report.py --shoot PAGE PNG     (only a picture of a page, for docs/)
"""
import collections
import json
import os
import shutil
import subprocess
import sys
import tempfile
import time


def browser():
    for name in ("chromium", "chromium-browser", "google-chrome"):
        path = shutil.which(name)
        if path:
            return path
    sys.exit("check_report: no Chromium (scripts/install-deps.sh installs it)")


class DevTools:
    """The DevTools protocol over --remote-debugging-pipe: JSON messages
    ending with NUL, commands on fd 3, answers and events on fd 4."""

    def __init__(self, profile):
        to_browser_read, self.to_browser = os.pipe()
        self.from_browser, from_browser_write = os.pipe()

        def fds():
            # Out of the way first, as the pipes may already be 3 and 4;
            # dup2 makes the copies inheritable.
            os.dup2(to_browser_read, 100)
            os.dup2(from_browser_write, 101)
            os.dup2(100, 3)
            os.dup2(101, 4)

        self.process = subprocess.Popen(
            [browser(), "--headless=new", "--remote-debugging-pipe", "--no-sandbox", "--disable-gpu",
             "--no-first-run", "--disable-extensions", "--user-data-dir=" + profile, "--window-size=1100,1400",
             "about:blank"],
            close_fds=False, preexec_fn=fds, start_new_session=True,  # fds 3 and 4 are made in the child
            # Chromium's own temporary folders (its singleton lock) go with the profile.
            env=dict(os.environ, TMPDIR=os.path.dirname(profile)),
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(to_browser_read)
        os.close(from_browser_write)
        self.buffer = b""
        self.next_id = 0

    def send(self, method, session=None, **params):
        self.next_id += 1
        message = {"id": self.next_id, "method": method, "params": params}
        if session:
            message["sessionId"] = session
        os.write(self.to_browser, json.dumps(message).encode() + b"\0")
        deadline = time.time() + 30
        while time.time() < deadline:
            while b"\0" not in self.buffer:
                chunk = os.read(self.from_browser, 65536)
                if not chunk:
                    sys.exit("check_report: Chromium ended")
                self.buffer += chunk
            raw, self.buffer = self.buffer.split(b"\0", 1)
            answer = json.loads(raw)
            if answer.get("id") == self.next_id:
                if "error" in answer:
                    sys.exit("check_report: %s: %s" % (method, answer["error"]))
                return answer["result"]
        sys.exit("check_report: no answer to " + method)

    def close(self):
        # The browser and every process it started.
        try:
            os.killpg(self.process.pid, 9)
        except ProcessLookupError:
            pass
        self.process.wait()


def open_page(tools, page):
    target = tools.send("Target.createTarget", url="file://" + os.path.abspath(page))["targetId"]
    session = tools.send("Target.attachToTarget", targetId=target, flatten=True)["sessionId"]
    # Loaded: the page itself (not the blank page before it), to its end.
    ready = "location.protocol === 'file:' && document.readyState === 'complete'"
    for _ in range(300):
        state = tools.send("Runtime.evaluate", session, expression=ready, returnByValue=True)
        if state["result"].get("value") is True:
            return session
        time.sleep(0.1)
    sys.exit("check_report: the page did not load in 30 s")


def shoot(tools, session, png):
    import base64
    shot = tools.send("Page.captureScreenshot", session, format="png", captureBeyondViewport=True)
    with open(png, "wb") as out:
        out.write(base64.b64decode(shot["data"]))


def main():
    args = sys.argv[1:]
    if args and args[0] == "--shoot":
        with tempfile.TemporaryDirectory(ignore_cleanup_errors=True) as work:
            tools = DevTools(os.path.join(work, "profile"))
            try:
                shoot(tools, open_page(tools, args[1]), args[2])
            finally:
                tools.close()
        return 0
    screenshot = None
    if "--screenshot" in args:
        at = args.index("--screenshot")
        screenshot = args[at + 1]
        del args[at:at + 2]
    evreplay, logs = args[0], args[1:]
    failures = []

    def check(what, ok, detail=""):
        print(("ok: " if ok else "FAIL: ") + what + ("" if ok else " (%s)" % (detail,)))
        if not ok:
            failures.append(what)

    with tempfile.TemporaryDirectory(ignore_cleanup_errors=True) as work:
        page = os.path.join(work, "report.html")
        # A computer whose name is markup: shown as text, never as markup.
        hostile = os.path.join(work, "markup.jsonl")
        with open(hostile, "w") as out:
            out.write(json.dumps({"EventID": 13, "SourceName": "Microsoft-Windows-Sysmon", "UtcTime": "2024-05-01 09:30:00",
                                  "Hostname": '<b id="injected">WS9</b>', "EventType": "SetValue",
                                  "Image": "C:\\Users\\x\\AppData\\Local\\Temp\\a.exe",
                                  "TargetObject": "HKLM\\SOFTWARE\\Microsoft\\Security Center\\AntiVirusDisableNotify"}) + "\n")
        logs = logs + [hostile]
        lines = subprocess.run([evreplay, "--sandbox", work, "--report", page] + logs,
                               capture_output=True, text=True)
        check("evreplay wrote the report", lines.returncode == 0 and os.path.exists(page), lines.stderr[-300:])
        reports = [json.loads(line) for line in lines.stdout.splitlines()]
        hours = collections.Counter(r["time"][:13].replace("T", " ") + ":00" for r in reports)
        computers = {r["host"] for r in reports}

        tools = DevTools(os.path.join(work, "profile"))
        try:
            session = open_page(tools, page)
            probe = r"""JSON.stringify({
              bars: [...document.querySelectorAll('#chart rect.bar')].map(b => {
                const r = b.getBoundingClientRect();
                return {bucket: b.dataset.bucket, count: +b.dataset.count, width: r.width, height: r.height};
              }),
              cards: Object.fromEntries([...document.querySelectorAll('.card')].map(c =>
                [c.id, c.querySelector('.v').textContent])),
              verdicts: [...document.querySelectorAll('#by-verdict tbody tr')].map(r => r.innerText),
              computers: [...document.querySelectorAll('#by-computer tbody td:first-child')].map(td => td.textContent),
              inputs: document.querySelectorAll('#inputs tbody tr').length,
              injected: document.getElementById('injected') !== null,
              resources: performance.getEntriesByType('resource').length,
              scripts: document.scripts.length,
              chartShown: document.querySelector('#chart').getBoundingClientRect().height
            })"""
            answer = tools.send("Runtime.evaluate", session, expression=probe, returnByValue=True)
            if "value" not in answer["result"]:
                sys.exit("check_report: the page's probe failed: %s" % answer)
            seen = json.loads(answer["result"]["value"])
            if screenshot:
                shoot(tools, session, screenshot)
        finally:
            tools.close()

        check("the detections card", seen["cards"].get("card-reports") == "{:,}".format(len(reports)),
              seen["cards"])
        bars = {b["bucket"]: b["count"] for b in seen["bars"]}
        check("one bar per hour with a detection, with its count", bars == dict(hours), (bars, dict(hours)))
        check("every bar is drawn", all(b["width"] > 0 and b["height"] > 0 for b in seen["bars"]), seen["bars"])
        tallest = max(seen["bars"], key=lambda b: b["count"]) if seen["bars"] else None
        check("the busiest hour has the tallest bar",
              tallest is not None and all(b["height"] <= tallest["height"] for b in seen["bars"]))
        check("the chart is on the page", seen["chartShown"] > 100, seen["chartShown"])
        verdicts = collections.Counter(r["verdict"] for r in reports)
        check("a row per verdict with its count",
              sorted(seen["verdicts"]) == sorted("%s\t%d" % (v, n) for v, n in verdicts.items()), seen["verdicts"])
        check("every computer with a detection is listed", computers <= set(seen["computers"]), seen["computers"])
        check("a row per input", seen["inputs"] == len(logs), seen["inputs"])
        check("markup from the log is text", not seen["injected"] and '<b id="injected">WS9</b>' in seen["computers"],
              seen["computers"])
        check("nothing loaded from elsewhere, no script", seen["resources"] == 0 and seen["scripts"] == 0, seen)
    print("%d failed" % len(failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
