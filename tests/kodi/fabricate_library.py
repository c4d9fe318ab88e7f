#!/usr/bin/env python3
"""A small media library in the layout `melvir library` writes, made with
ffmpeg, for trying the Kodi harness before the command exists.

Usage: tests/kodi/fabricate_library.py DIR

DIR/Movies/TITLE (YEAR)/TITLE (YEAR).mkv + .nfo + -fanart.jpg, a film without
a year, and DIR/Shows/TITLE/Season YYYY/TITLE SYYYYEMMDDhhmm.mkv + .nfo +
-thumb.jpg with tvshow.nfo and fanart.jpg: a daily show recorded on both
sides of a new year's midnight, and one programme recorded twice.
"""
import os
import subprocess
import sys
from xml.sax.saxutils import escape

FILMS = [
    # folder/file name, title, year, short text, synopsis, channel, genre, minutes, added
    ("Das Boot (1981)", "Das Boot", 1981, "Kriegsfilm, Deutschland 1981",
     "U 96 läuft im Herbst 1941 aus La Rochelle aus & kehrt nicht zurück, wie \"geplant\".",
     "Das Erste HD", "Movie/Drama", 149, "2026-12-10 20:15:00"),
    ("Ohne EIT", "Ohne EIT", None, "", "", "", "", 0, "2026-12-11 08:00:00"),
]
SHOW = ("Tagesschau", "Das Erste HD", "News/Current affairs")
EPISODES = [
    # season, MMDDhhmm, suffix, title, aired, synopsis, minutes
    (2026, "12312345", "", "Tagesschau", "2026-12-31",
     "Nachrichten <vor> Mitternacht.", 15),
    (2027, "01010010", "", "Tagesschau", "2027-01-01",
     "Nachrichten nach Mitternacht.", 15),
    (2027, "01012000", "", "Neujahr & Wetter", "2027-01-01",
     "Die Nachrichten am ersten Abend des Jahres.", 15),
    (2027, "01012000", " (2)", "Neujahr & Wetter", "2027-01-01",
     "Dieselbe Sendung, ein zweites Mal aufgenommen.", 15),
]


def run(*command):
    subprocess.run(command, check=True)


def make_video(path, seconds, subtitles):
    """A 16:9 PAL picture in MPEG-2 with German MP2 sound, as DVB-T carries it."""
    command = ["ffmpeg", "-v", "error", "-y",
               "-f", "lavfi", "-i", "testsrc=size=720x576:rate=25:duration=%d" % seconds,
               "-f", "lavfi", "-i", "sine=frequency=440:sample_rate=48000:duration=%d" % seconds]
    maps = ["-map", "0:v", "-map", "1:a"]
    if subtitles:
        srt = path + ".srt"
        with open(srt, "w", encoding="utf-8") as f:
            f.write("1\n00:00:00,500 --> 00:00:02,000\nUntertitel\n")
        command += ["-i", srt]
        maps += ["-map", "2:s", "-c:s", "srt", "-metadata:s:s:0", "language=ger"]
    command += maps + ["-vf", "setdar=16/9", "-c:v", "mpeg2video", "-b:v", "300k",
                       "-c:a", "mp2", "-ac", "2", "-b:a", "96k", "-metadata:s:a:0", "language=ger",
                       path]
    run(*command)
    if subtitles:
        os.remove(path + ".srt")


def make_picture(path, seed):
    run("ffmpeg", "-v", "error", "-y", "-f", "lavfi", "-i", "gradients=size=1280x720:seed=%d" % seed,
        "-frames:v", "1", path)


def streamdetails(seconds, subtitles):
    text = ("  <fileinfo>\n    <streamdetails>\n"
            "      <video><codec>mpeg2video</codec><aspect>1.777778</aspect><width>720</width>"
            "<height>576</height><durationinseconds>%d</durationinseconds></video>\n"
            "      <audio><codec>mp2</codec><language>ger</language><channels>2</channels></audio>\n"
            % seconds)
    if subtitles:
        text += "      <subtitle><language>ger</language></subtitle>\n"
    return text + "    </streamdetails>\n  </fileinfo>\n"


def element(name, value):
    return "  <%s>%s</%s>\n" % (name, escape(str(value)), name) if value not in (None, "") else ""


def write_nfo(path, root, body):
    with open(path, "w", encoding="utf-8") as f:
        f.write('<?xml version="1.0" encoding="UTF-8" standalone="yes" ?>\n<%s>\n%s</%s>\n'
                % (root, body, root))


def main(argv):
    if len(argv) != 2:
        sys.stderr.write("usage: fabricate_library.py DIR\n")
        return 2
    library = argv[1]
    seconds = 3
    for name, title, year, short, synopsis, channel, genre, minutes, added in FILMS:
        folder = os.path.join(library, "Movies", name)
        os.makedirs(folder)
        base = os.path.join(folder, name)
        make_video(base + ".mkv", seconds, subtitles=year is not None)
        if year is not None:
            make_picture(base + "-fanart.jpg", 1)
        body = (element("title", title) + element("year", year) + element("plot", synopsis or short)
                + element("outline", short) + element("studio", channel) + element("genre", genre)
                + element("runtime", minutes or None) + element("dateadded", added)
                + streamdetails(seconds, subtitles=year is not None))
        write_nfo(base + ".nfo", "movie", body)

    show, channel, genre = SHOW
    show_folder = os.path.join(library, "Shows", show)
    os.makedirs(show_folder)
    make_picture(os.path.join(show_folder, "fanart.jpg"), 2)
    write_nfo(os.path.join(show_folder, "tvshow.nfo"), "tvshow",
              element("title", show) + element("studio", channel) + element("genre", genre)
              + element("premiered", min(e[4] for e in EPISODES)))
    for season, number, suffix, title, aired, synopsis, minutes in EPISODES:
        folder = os.path.join(show_folder, "Season %d" % season)
        os.makedirs(folder, exist_ok=True)
        base = os.path.join(folder, "%s S%dE%s%s" % (show, season, number, suffix))
        make_video(base + ".mkv", seconds, subtitles=False)
        make_picture(base + "-thumb.jpg", int(number))
        body = (element("title", title) + element("showtitle", show) + element("season", season)
                + element("episode", int(number)) + element("aired", aired) + element("plot", synopsis)
                + element("studio", channel) + element("runtime", minutes)
                + streamdetails(seconds, subtitles=False))
        write_nfo(base + ".nfo", "episodedetails", body)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
