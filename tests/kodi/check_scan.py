#!/usr/bin/env python3
"""Compares what Kodi listed (kodi_scan.py's OUT.json) with what the library
says (library_expect.py's EXPECT.json): every film, show and episode found by
its file, each expected field equal, and nothing listed that was not expected.

Usage: tests/kodi/check_scan.py OUT.json EXPECT.json
Exit status 0 when all agree, 1 with one line per difference.
"""
import json
import sys
import urllib.parse

KINDS = ("movies", "tvshows", "episodes")
ASPECT_TOLERANCE = 0.01  # Kodi keeps the aspect as a float


def picture_path(url):
    """Kodi's image://ENCODED-PATH/ back to the path."""
    if not url.startswith("image://"):
        return url
    return urllib.parse.unquote(url[len("image://"):].rstrip("/"))


def same_streams(got, want):
    """Each expected track's fields, in order, as Kodi lists them."""
    for kind, tracks in want.items():
        listed = got.get(kind, [])
        if len(listed) != len(tracks):
            return False
        for mine, theirs in zip(tracks, listed):
            for key, value in mine.items():
                if key == "aspect":
                    if abs(theirs.get(key, 0) - value) > ASPECT_TOLERANCE:
                        return False
                elif theirs.get(key) != value:
                    return False
    return True


def differences(kind, got, want):
    faults = []
    for key, value in want.items():
        if key == "file":
            continue
        if key == "art":
            for art, path in value.items():
                if picture_path(got.get("art", {}).get(art, "")) != path:
                    faults.append("art %s is %r, not %r" % (art, got.get("art", {}).get(art), path))
        elif key == "streamdetails":
            if not same_streams(got.get(key, {}), value):
                faults.append("streamdetails are %s, not %s" % (json.dumps(got.get(key)), json.dumps(value)))
        elif got.get(key) != value:
            faults.append("%s is %r, not %r" % (key, got.get(key), value))
    return faults


def main(argv):
    if len(argv) != 3:
        sys.stderr.write("usage: check_scan.py OUT.json EXPECT.json\n")
        return 2
    with open(argv[1], encoding="utf-8") as f:
        out = json.load(f)
    with open(argv[2], encoding="utf-8") as f:
        expect = json.load(f)
    faults = []
    counts = []
    for kind in KINDS:
        listed = {item["file"]: item for item in out.get(kind, [])}
        for want in expect.get(kind, []):
            got = listed.pop(want["file"], None)
            if got is None:
                faults.append("%s: %s is not in Kodi's library" % (kind, want["file"]))
                continue
            faults += ["%s: %s: %s" % (kind, want["file"], d) for d in differences(kind, got, want)]
        faults += ["%s: Kodi lists %s, which was not expected" % (kind, f) for f in sorted(listed)]
        counts.append("%d %s" % (len(expect.get(kind, [])), kind))
    for fault in faults:
        print("check_scan: " + fault)
    if faults:
        print("check_scan: %d differences between Kodi's library and the files" % len(faults))
        return 1
    print("check_scan: Kodi read %s as written" % ", ".join(counts))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
