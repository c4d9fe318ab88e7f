#!/usr/bin/env python3
"""Kodi itself scans a media library folder and says what it read.

Usage: tests/kodi/kodi_scan.py [--screenshot PNG] [--keep] DIR OUT.json

Starts Debian's Kodi headless under an Xvfb of its own with a throw-away
profile, gives DIR/Movies/ the content "movies" and DIR/Shows/ the content
"tvshows" with the local-information-only scraper, scans, and writes to
OUT.json what Kodi's JSON-RPC then lists: films, shows and episodes. Exit
status 0 when Kodi answered, 1 when it failed, 77 (with the reason on stderr)
when Kodi or Xvfb is not installed.
"""
import glob
import json
import os
import select
import shutil
import signal
import socket
import sqlite3
import subprocess
import sys
import tempfile
import time
import urllib.request

SKIP = 77
START_SECONDS = 90   # a cold start on a slow, shared machine
SCAN_SECONDS = 180
QUIT_SECONDS = 20
VIDEO_WINDOW = 10025   # Kodi's window ids: the video library
YES_NO_DIALOG = 10100  # and its question dialog

MOVIE_FIELDS = ["title", "year", "premiered", "studio", "plot", "genre", "runtime", "file",
                "art", "streamdetails", "dateadded"]
SHOW_FIELDS = ["title", "year", "premiered", "studio", "plot", "genre", "file", "art",
               "episode", "season"]
EPISODE_FIELDS = ["title", "showtitle", "season", "episode", "firstaired", "plot", "runtime",
                  "file", "art", "streamdetails", "tvshowid"]

# Web server on (JSON-RPC), and everything that talks to the network or
# updates itself off. Kodi listens on all interfaces: a random port and a short run.
GUISETTINGS = """<settings version="2">
    <setting id="services.webserver">true</setting>
    <setting id="services.webserverport">{port}</setting>
    <setting id="services.webserverauthentication">false</setting>
    <setting id="services.zeroconf">false</setting>
    <setting id="services.esenabled">false</setting>
    <setting id="services.upnp">false</setting>
    <setting id="services.airplay">false</setting>
    <setting id="general.addonupdates">2</setting>
    <setting id="general.addonnotifications">false</setting>
    <setting id="addons.unknownsources">false</setting>
    <setting id="videolibrary.showemptytvshows">true</setting>
    <setting id="filelists.showparentdiritems">false</setting>
    <resolutions />
    <viewstates />
</settings>
"""
ADVANCEDSETTINGS = """<advancedsettings version="1.0">
    <splash>false</splash>
</advancedsettings>
"""


def fail(message, status=1):
    sys.stderr.write("kodi_scan: %s\n" % message)
    sys.exit(status)


def find_kodi():
    """kodi.bin itself, so that its process is the one stopped; else the wrapper."""
    found = sorted(glob.glob("/usr/lib/*/kodi/kodi.bin")) + sorted(glob.glob("/usr/lib/kodi/kodi.bin"))
    if found:
        return found[0]
    return shutil.which("kodi")


def free_port():
    with socket.socket(socket.AF_INET, socket.SOCK_STREAM) as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def start_xvfb(work):
    """An X server of its own: Xvfb names the display it took on a pipe."""
    read_end, write_end = os.pipe()
    log = open(os.path.join(work, "xvfb.log"), "wb")
    xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1280x720x24",
                             "-nolisten", "tcp"], pass_fds=(write_end,), stdout=log, stderr=log,
                            start_new_session=True)
    os.close(write_end)
    number = b""
    deadline = time.monotonic() + START_SECONDS
    while not number.endswith(b"\n") and time.monotonic() < deadline:
        ready, _, _ = select.select([read_end], [], [], 1.0)
        if ready:
            chunk = os.read(read_end, 16)
            if not chunk:
                break
            number += chunk
    os.close(read_end)
    if not number.strip().isdigit():
        stop(xvfb, 5)
        fail("Xvfb did not start (see %s/xvfb.log)" % work)
    return xvfb, ":" + number.strip().decode()


def stop(process, seconds):
    """Waits for the process to go, then ends its process group."""
    try:
        process.wait(timeout=seconds)
        return True
    except subprocess.TimeoutExpired:
        pass
    for sig in (signal.SIGTERM, signal.SIGKILL):
        try:
            os.killpg(process.pid, sig)
        except ProcessLookupError:
            return False
        try:
            process.wait(timeout=5)
            return False
        except subprocess.TimeoutExpired:
            continue
    return False


class Rpc:
    def __init__(self, port):
        self.url = "http://127.0.0.1:%d/jsonrpc" % port
        self.next_id = 0

    def call(self, method, params=None, timeout=10):
        self.next_id += 1
        body = {"jsonrpc": "2.0", "id": self.next_id, "method": method}
        if params is not None:
            body["params"] = params
        request = urllib.request.Request(self.url, data=json.dumps(body).encode(),
                                         headers={"Content-Type": "application/json"})
        with urllib.request.urlopen(request, timeout=timeout) as answer:
            reply = json.loads(answer.read().decode("utf-8"))
        if "error" in reply:
            raise RuntimeError("%s: %s" % (method, reply["error"]))
        return reply["result"]


def wait_for(what, test, deadline, kodi):
    """Polls test() until it gives a value, Kodi ends, or the deadline passes."""
    delay = 0.05
    while True:
        value = test()
        if value:
            return value
        if kodi.poll() is not None:
            fail("Kodi ended (status %d) while waiting for %s" % (kodi.returncode, what))
        if time.monotonic() > deadline:
            fail("no %s within the deadline" % what)
        time.sleep(delay)
        delay = min(delay * 2, 0.5)


def ping(rpc):
    try:
        return rpc.call("JSONRPC.Ping", timeout=2) == "pong"
    except (OSError, ValueError, RuntimeError):
        return False


def video_database(userdata):
    """The video library's database once Kodi has made its path table."""
    for name in sorted(glob.glob(os.path.join(userdata, "Database", "MyVideos*.db")), reverse=True):
        try:
            db = sqlite3.connect(name, timeout=10)
            try:
                tables = {row[0] for row in db.execute("SELECT name FROM sqlite_master WHERE type='table'")}
            finally:
                db.close()
        except sqlite3.Error:
            continue
        if {"path", "version"} <= tables:
            return name
    return None


def set_content(database, library):
    """The two folders with their content and the local-information scraper.

    sources.xml alone gives a folder no content; Kodi's own dialog writes these
    rows. A film folder is scanned to any depth (what the dialog writes for
    "recursive"); a show folder holds one show per folder."""
    rows = [(os.path.join(library, "Movies", ""), "movies", 2147483647),
            (os.path.join(library, "Shows", ""), "tvshows", 0)]
    db = sqlite3.connect(database, timeout=30)
    try:
        columns = [row[1] for row in db.execute("PRAGMA table_info(path)")]
        for path, content, recursive in rows:
            values = {"strPath": path, "strContent": content, "strScraper": "metadata.local",
                      "scanRecursive": recursive, "useFolderNames": 0, "strSettings": "",
                      "noUpdate": 0, "exclude": 0}
            missing = [c for c in ("strPath", "strContent", "strScraper") if c not in columns]
            if missing:
                fail("the path table has no column %s (columns: %s)" % (missing, columns))
            names = [c for c in values if c in columns]
            db.execute("DELETE FROM path WHERE strPath = ?", (path,))
            db.execute("INSERT INTO path (%s) VALUES (%s)" % (", ".join(names), ", ".join("?" * len(names))),
                       [values[c] for c in names])
        db.commit()
    finally:
        db.close()
    return columns


def log_has(log, offset, text):
    try:
        with open(log, "rb") as f:
            f.seek(offset)
            return text.encode() in f.read()
    except OSError:
        return False


def scanning(rpc):
    answer = rpc.call("XBMC.GetInfoBooleans", {"booleans": ["Library.IsScanningVideo"]})
    return bool(answer.get("Library.IsScanningVideo"))


def screenshot_folder(result):
    """The last season of the first show, where the episodes' numbers, titles and
    air dates show; the films when there is no show."""
    if not result["episodes"]:
        return "videodb://movies/titles/"
    show = min(e["tvshowid"] for e in result["episodes"])
    season = max(e["season"] for e in result["episodes"] if e["tvshowid"] == show)
    return "videodb://tvshows/titles/%d/%d/" % (show, season)


def screenshot(rpc, display, folder, png, kodi):
    """Kodi's view of a library folder, grabbed from the X server."""
    def shown():
        props = rpc.call("GUI.GetProperties", {"properties": ["currentwindow", "currentcontrol"]})
        window = props.get("currentwindow", {}).get("id")
        if window == YES_NO_DIALOG:
            # A first start asks whether to enable add-ons the system installed.
            rpc.call("Input.Back")
        elif window != VIDEO_WINDOW or not props.get("currentcontrol", {}).get("label"):
            rpc.call("GUI.ActivateWindow", {"window": "videos", "parameters": [folder]})
        else:
            return True
        return False
    wait_for("the library view", shown, time.monotonic() + START_SECONDS, kodi)
    # The list is set; its pictures fade in with Kodi's own animation.
    wait_for("a settled picture", lambda: grab_settled(display, png), time.monotonic() + 30, kodi)


def grab_settled(display, png):
    """Grabs until two grabs in a row are the same picture."""
    first, second = png + ".a.bmp", png + ".b.bmp"
    for name in (first, second):
        subprocess.run(["ffmpeg", "-v", "error", "-y", "-f", "x11grab", "-video_size", "1280x720",
                        "-i", display, "-frames:v", "1", name], check=True)
    with open(first, "rb") as a, open(second, "rb") as b:
        if a.read() != b.read():
            return False
    subprocess.run(["ffmpeg", "-v", "error", "-y", "-i", first, "-vf", "scale=800:-1",
                    "-pix_fmt", "pal8", png], check=True)
    for name in (first, second):
        os.remove(name)
    return True


def main(argv):
    args = argv[1:]
    png = None
    keep = False
    while args and args[0].startswith("--"):
        option = args.pop(0)
        if option == "--screenshot" and args:
            png = os.path.abspath(args.pop(0))
        elif option == "--keep":
            keep = True
        else:
            fail("unknown option %s" % option, 2)
    if len(args) != 2:
        fail("usage: kodi_scan.py [--screenshot PNG] [--keep] DIR OUT.json", 2)
    library, out = os.path.abspath(args[0]), args[1]
    kodi_bin = find_kodi()
    if not kodi_bin:
        fail("Kodi is not installed (Debian kodi, --no-install-recommends)", SKIP)
    if not shutil.which("Xvfb"):
        fail("Xvfb is not installed (Debian xvfb)", SKIP)
    if png and not shutil.which("ffmpeg"):
        fail("ffmpeg is not installed: no screenshot", SKIP)

    work = tempfile.mkdtemp(prefix="kodi-scan-")
    home = os.path.join(work, "home")          # Kodi's home: add-ons, userdata
    userdata = os.path.join(home, "userdata")  # the profile: settings, databases
    temp = os.path.join(work, "temp")          # where kodi.log goes
    for folder in (userdata, temp, os.path.join(work, "run")):
        os.makedirs(folder, mode=0o700)
    port = free_port()
    with open(os.path.join(userdata, "guisettings.xml"), "w") as f:
        f.write(GUISETTINGS.format(port=port))
    with open(os.path.join(userdata, "advancedsettings.xml"), "w") as f:
        f.write(ADVANCEDSETTINGS)
    log = os.path.join(temp, "kodi.log")

    xvfb, display = start_xvfb(work)
    env = dict(os.environ, HOME=work, KODI_DATA=home, KODI_TEMP=temp, DISPLAY=display,
               XDG_RUNTIME_DIR=os.path.join(work, "run"),
               # No sound server: the sink fails at once instead of ALSA's probing.
               KODI_AE_SINK="PULSE", PULSE_SERVER="unix:" + os.path.join(work, "no-pulse"),
               LIBGL_ALWAYS_SOFTWARE="1")
    env.pop("WAYLAND_DISPLAY", None)
    times = {}
    begun = time.monotonic()
    output = open(os.path.join(work, "kodi.out"), "wb")
    kodi = subprocess.Popen([kodi_bin, "--windowing=x11"], env=env, stdout=output, stderr=output,
                            stdin=subprocess.DEVNULL, start_new_session=True)
    rpc = Rpc(port)
    status = 1
    try:
        wait_for("JSON-RPC answer", lambda: ping(rpc), begun + START_SECONDS, kodi)
        times["start"] = round(time.monotonic() - begun, 2)
        database = wait_for("MyVideos*.db", lambda: video_database(userdata), begun + START_SECONDS, kodi)
        columns = set_content(database, library)
        with open(log, "rb") as f:
            offset = len(f.read())
        scan_begun = time.monotonic()
        rpc.call("VideoLibrary.Scan", {"showdialogs": False})
        wait_for('the log\'s "Finished scan"', lambda: log_has(log, offset, "Finished scan"),
                 scan_begun + SCAN_SECONDS, kodi)
        wait_for("the end of the scan", lambda: not scanning(rpc), scan_begun + SCAN_SECONDS, kodi)
        times["scan"] = round(time.monotonic() - scan_begun, 2)
        result = {
            "kodi": rpc.call("Application.GetProperties", {"properties": ["version"]})["version"],
            "database": os.path.basename(database),
            "path_columns": columns,
            "movies": rpc.call("VideoLibrary.GetMovies", {"properties": MOVIE_FIELDS}).get("movies", []),
            "tvshows": rpc.call("VideoLibrary.GetTVShows", {"properties": SHOW_FIELDS}).get("tvshows", []),
            "episodes": rpc.call("VideoLibrary.GetEpisodes",
                                 {"properties": EPISODE_FIELDS}).get("episodes", []),
        }
        times["start_and_scan"] = round(time.monotonic() - begun, 2)
        if png:
            screenshot(rpc, display, screenshot_folder(result), png, kodi)
        result["seconds"] = times
        with open(out, "w", encoding="utf-8") as f:
            json.dump(result, f, indent=1, ensure_ascii=False, sort_keys=True)
        status = 0
    finally:
        try:
            rpc.call("Application.Quit", timeout=5)
        except (OSError, ValueError, RuntimeError):
            pass
        if not stop(kodi, QUIT_SECONDS):
            sys.stderr.write("kodi_scan: Kodi did not quit within %d s and was ended\n" % QUIT_SECONDS)
        xvfb.terminate()
        stop(xvfb, 5)
        output.close()
        if status != 0 or keep:
            sys.stderr.write("kodi_scan: Kodi's profile and log kept in %s\n" % work)
        else:
            shutil.rmtree(work, ignore_errors=True)
    sys.stderr.write("kodi_scan: start %.1f s, scan %.1f s\n" % (times["start"], times["scan"]))
    return status


if __name__ == "__main__":
    sys.exit(main(sys.argv))
