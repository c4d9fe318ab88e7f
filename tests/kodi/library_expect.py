#!/usr/bin/env python3
"""What Kodi should list after scanning a media library: every video file of
DIR/Movies and DIR/Shows, with what its NFO, its name and its pictures say,
in the form of Kodi's JSON-RPC answers.

Usage: tests/kodi/library_expect.py DIR EXPECT.json

Kodi numbers an episode from its file name (TITLE SyyyyEnnnn) and ignores the
NFO's <season> and <episode>; a library whose NFO disagrees with its name is
refused here. Exit status 1 on such a library or an NFO that is not XML.
"""
import json
import os
import re
import sys
import xml.etree.ElementTree as ET

VIDEO = (".mkv", ".ts")
EPISODE_NAME = re.compile(r" S([0-9]+)E([0-9]+)(?: \([0-9]+\))?$")
SEPARATOR = " / "  # Kodi splits a studio or genre on it


def read_nfo(path, root, faults):
    try:
        tree = ET.parse(path).getroot()
    except (OSError, ET.ParseError) as error:
        faults.append("%s: %s" % (path, error))
        return None
    if tree.tag != root:
        faults.append("%s: <%s>, not <%s>" % (path, tree.tag, root))
        return None
    return tree


def text(nfo, tag):
    return (nfo.findtext(tag) or "").strip()


def listed(nfo, tag):
    items = []
    for node in nfo.findall(tag):
        items += [part.strip() for part in (node.text or "").split(SEPARATOR) if part.strip()]
    return items


def stream_details(nfo):
    details = nfo.find("fileinfo/streamdetails")
    if details is None:
        return None
    video = [{"codec": text(v, "codec"), "width": int(text(v, "width") or 0),
              "height": int(text(v, "height") or 0), "aspect": float(text(v, "aspect") or 0),
              "duration": int(text(v, "durationinseconds") or 0)} for v in details.findall("video")]
    audio = [{"codec": text(a, "codec"), "language": text(a, "language"),
              "channels": int(text(a, "channels") or 0)} for a in details.findall("audio")]
    subtitle = [{"language": text(s, "language")} for s in details.findall("subtitle")]
    return {"video": video, "audio": audio, "subtitle": subtitle}


def add_runtime(item, details):
    """Kodi's runtime is the video's duration, from the NFO's streamdetails or,
    without them, from the file it probes itself; <runtime> only when neither
    gives one."""
    if details and details["video"] and details["video"][0]["duration"] > 0:
        item["runtime"] = details["video"][0]["duration"]


def picture(base, suffix):
    path = base + suffix
    return path if os.path.isfile(path) else None


def videos(folder):
    for top, dirs, files in os.walk(folder):
        dirs.sort()
        for name in sorted(files):
            if name.endswith(VIDEO):
                yield os.path.join(top, name)


def movie(path, faults):
    base = os.path.splitext(path)[0]
    nfo = read_nfo(base + ".nfo", "movie", faults)
    if nfo is None:
        return None
    details = stream_details(nfo)
    item = {"file": path, "title": text(nfo, "title"), "year": int(text(nfo, "year") or 0),
            "premiered": text(nfo, "premiered"), "plot": text(nfo, "plot"),
            "studio": listed(nfo, "studio"), "genre": listed(nfo, "genre"),
            "art": {}}
    add_runtime(item, details)
    if text(nfo, "dateadded"):
        item["dateadded"] = text(nfo, "dateadded")
    if details:
        item["streamdetails"] = details
    if picture(base, "-fanart.jpg"):
        item["art"]["fanart"] = picture(base, "-fanart.jpg")
    return item


def show(folder, faults):
    nfo = read_nfo(os.path.join(folder, "tvshow.nfo"), "tvshow", faults)
    if nfo is None:
        return None
    premiered = text(nfo, "premiered")
    item = {"file": os.path.join(folder, ""), "title": text(nfo, "title"), "premiered": premiered,
            "year": int(premiered[:4]) if premiered else 0, "studio": listed(nfo, "studio"),
            "genre": listed(nfo, "genre"), "art": {}}
    if os.path.isfile(os.path.join(folder, "fanart.jpg")):
        item["art"]["fanart"] = os.path.join(folder, "fanart.jpg")
    return item


def episode(path, shows, faults):
    base = os.path.splitext(path)[0]
    name = EPISODE_NAME.search(os.path.basename(base))
    if not name:
        faults.append("%s: no SyyyyEnnnn at the end of the name" % path)
        return None
    nfo = read_nfo(base + ".nfo", "episodedetails", faults)
    if nfo is None:
        return None
    season, number = int(name.group(1)), int(name.group(2))
    for tag, value in (("season", season), ("episode", number)):
        if text(nfo, tag) and int(text(nfo, tag)) != value:
            faults.append("%s: <%s>%s</%s> but the name says %d" % (path, tag, text(nfo, tag), tag, value))
    # Kodi names an episode's show by the show's tvshow.nfo, whatever the episode's says.
    show_title = shows.get(path.split(os.sep + "Shows" + os.sep, 1)[1].split(os.sep)[0])
    if text(nfo, "showtitle") and text(nfo, "showtitle") != show_title:
        faults.append("%s: <showtitle>%s</showtitle> but the show is %r"
                      % (path, text(nfo, "showtitle"), show_title))
    details = stream_details(nfo)
    item = {"file": path, "title": text(nfo, "title"), "showtitle": show_title,
            "season": season, "episode": number, "firstaired": text(nfo, "aired"),
            "plot": text(nfo, "plot"), "art": {}}
    add_runtime(item, details)
    if details:
        item["streamdetails"] = details
    if picture(base, "-thumb.jpg"):
        item["art"]["thumb"] = picture(base, "-thumb.jpg")
    return item


def main(argv):
    if len(argv) != 3:
        sys.stderr.write("usage: library_expect.py DIR EXPECT.json\n")
        return 2
    library = os.path.abspath(argv[1])
    faults = []
    movies = [movie(p, faults) for p in videos(os.path.join(library, "Movies"))]
    shows_root = os.path.join(library, "Shows")
    folders = sorted(os.path.join(shows_root, d) for d in os.listdir(shows_root)) \
        if os.path.isdir(shows_root) else []
    shows = [show(f, faults) for f in folders if os.path.isdir(f)]
    titles = {os.path.basename(s["file"].rstrip(os.sep)): s["title"] for s in shows if s}
    episodes = [episode(p, titles, faults) for p in videos(shows_root)]
    for fault in faults:
        sys.stderr.write("library_expect: %s\n" % fault)
    expect = {"movies": [m for m in movies if m], "tvshows": [s for s in shows if s],
              "episodes": [e for e in episodes if e]}
    with open(argv[2], "w", encoding="utf-8") as f:
        json.dump(expect, f, indent=1, ensure_ascii=False)
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
