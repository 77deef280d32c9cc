#!/usr/bin/env python3
"""Writes tests/data/cli_epochs.txt: the converter's conversions of system 5 (ITRF2020 at an epoch)
with PROJ 9.1.1's cct (Debian proj-bin) as the reference -- nothing here comes from nuvex.

Every block of the file names the cct command that made its expected values; cct reads
"x y z epoch" (z 0 where the conversion is two-dimensional, which the pipeline's push/pop of the
third coordinate keeps as given). Dates are given to cct as the decimal year the converter reads
them as: the year plus the days before the date over the days of the year.

Run from the repository root: /usr/bin/python3 tests/generators/cli_epochs/make_cases.py
"""
import datetime
import pathlib
import subprocess
import textwrap

ROOT = pathlib.Path(__file__).resolve().parents[3]
OUTPUT = ROOT / "tests" / "data" / "cli_epochs.txt"

# EPSG:10586, ITRF2020 to ETRF2000 (1), as PROJ 9.1.1 writes it.
HELMERT = ("+proj=helmert +x=0.0538 +y=0.0518 +z=-0.0822 +rx=0.002106 +ry=0.01274 +rz=-0.020592 "
           "+s=0.00225 +dx=0.0001 +dy=0 +dz=-0.0017 +drx=8.1e-05 +dry=0.00049 +drz=-0.000792 "
           "+ds=0.00011 +t_epoch=2015 +convention=position_vector")
# ITRF2020 to ETRS89 in two dimensions (at height 0) and in three.
FRAME_3D = f"+step +proj=cart +ellps=GRS80 +step {HELMERT} +step +inv +proj=cart +ellps=GRS80"
FRAME_2D = f"+step +proj=push +v_3 {FRAME_3D} +step +proj=pop +v_3"
FRAME_2D_INVERSE = (f"+step +proj=push +v_3 +step +proj=cart +ellps=GRS80 +step +inv {HELMERT} "
                    "+step +inv +proj=cart +ellps=GRS80 +step +proj=pop +v_3")
UTM32 = "+step +proj=utm +zone=32 +ellps=GRS80"
GK3 = ("+step +inv +proj=hgridshift +grids=data/BETA2007.gsb +step +proj=tmerc +lat_0=0 +lon_0=9 "
       "+k=1 +x_0=3500000 +y_0=0 +ellps=bessel")
TO_DHHN2016 = "+step +inv +proj=vgridshift +grids=data/de_bkg_gcg2016.tif +multiplier=1"

GRID = "0.0001"                 # m: 0.1 mm
GEOGRAPHIC = "1e-9,1e-9,0.0001"  # deg (some 0.1 mm), then metres

# GNSS stations: longitude, latitude, ellipsoidal height.
STATIONS = {"GOE1": ("9.93651", "51.53332", "199.5"),
            "BER1": ("13.37770", "52.51628", "80.25"),
            "MUC1": ("11.57549", "48.13743", "563.0")}


def decimal_year(text):
    """The epoch as the converter reads it: a decimal year, or a date at 0h of its day."""
    if "-" not in text:
        return float(text)
    day = datetime.date.fromisoformat(text)
    first = datetime.date(day.year, 1, 1)
    days = (datetime.date(day.year + 1, 1, 1) - first).days
    return day.year + (day - first).days / days


def cct(steps, records):
    """cct's x, y and z (as printed) for each record (x, y, z, epoch text), and its command."""
    command = ["cct", "-d", "12", "+proj=pipeline", *steps.split()]
    text = "".join(f"{x} {y} {z} {decimal_year(t):.12f}\n" for x, y, z, t in records)
    output = subprocess.run(command, input=text, capture_output=True, text=True, check=True,
                            cwd=ROOT).stdout
    rows = [line.split()[:3] for line in output.splitlines() if line.strip()]
    assert len(rows) == len(records) and all(not r[0].startswith("#") for r in rows), output
    return rows, " ".join(command)


def escape(text):
    return text.replace("\\", "\\\\").replace("|", "\\p").replace("\n", "\\n")


class CaseFile:
    def __init__(self):
        self.lines = []

    def comment(self, text):
        """Prose wrapped at 100 characters; a cct command stays on its line, as it is run."""
        for paragraph in text.split("\n"):
            wrapped = [paragraph] if paragraph.startswith("cct ") else \
                textwrap.wrap(paragraph, 98) or [""]
            self.lines += ["# " + line if line else "#" for line in wrapped]

    def case(self, file, arguments, given, output, error="", status=0, tolerances=GRID):
        fields = [file, arguments, given, output, error, str(status), tolerances]
        self.lines.append("|".join(escape(f) for f in fields))


def rounded(text, decimals=4):
    """The value as the converter writes it with this many decimals; far enough from a rounding
    boundary that the converter's last bits cannot round it the other way."""
    value = float(text) * 10 ** decimals
    assert abs(value - round(value)) < 0.5 - 1e-3, f"{text} rounds at a boundary"
    return f"{float(text):.{decimals}f}"


def lines(*rows):
    return "".join(row + "\n" for row in rows)


def readme_examples(cases):
    cases.comment("\nThe README's GNSS examples, run as written there on the files they show: "
                  "ITRF2020 at 2026.9 to ETRS89 / UTM zone 32N, by --epoch and by an epoch "
                  "column of decimal years and dates:")
    names = ["GOE1", "BER1", "MUC1"]
    rows, command = cct(FRAME_2D + " " + UTM32,
                        [(*STATIONS[n][:2], 0, "2026.9") for n in names])
    cases.comment(command)
    cases.case("gnss.csv",
               "convert --from EPSG:9990 --to EPSG:25832 --datum official --epoch 2026.9 -p 4 "
               "gnss.csv",
               lines(*(f"{STATIONS[n][0]},{STATIONS[n][1]},{n}" for n in names)),
               lines(*(f"{r[0]},{r[1]},32,{n}" for r, n in zip(rows, names))))
    epochs = ["2026.9", "2026-11-24", "2021.5"]
    rows, command = cct(FRAME_2D + " " + UTM32,
                        [(*STATIONS[n][:2], 0, t) for n, t in zip(names, epochs)])
    cases.comment(command)
    cases.case("gnss_log.csv",
               "convert --from EPSG:9990 --to EPSG:25832 --datum official --epoch-column time "
               "-p 4 gnss_log.csv",
               lines("lon,lat,time,station",
                     *(f"{STATIONS[n][0]},{STATIONS[n][1]},{t},{n}"
                       for n, t in zip(names, epochs))),
               lines("easting,northing,zone,time,station",
                     *(f"{r[0]},{r[1]},32,{t},{n}" for r, n, t in zip(rows, names, epochs))))


def epochs_given_once(cases):
    cases.comment("\nThe epoch in the name (a date), --epoch as a date on WGS 84 (G2296), the same "
                  "epoch given twice:")
    x, y, _ = STATIONS["GOE1"]
    rows, command = cct(FRAME_2D + " " + UTM32, [(x, y, 0, "2026-11-24")])
    cases.comment(command)
    expected = lines(f"{rows[0][0]} {rows[0][1]} 32 GOE1")
    cases.case("", "convert --from EPSG:9990@2026-11-24 --to EPSG:25832 --datum official -p 4",
               lines(f"{x} {y} GOE1"), expected)
    cases.case("", "convert --from EPSG:10606 --to EPSG:25832 --datum official --epoch 2026-11-24 "
               "-p 4", lines(f"{x} {y} GOE1"), expected)
    rows, command = cct(FRAME_2D + " " + UTM32, [(x, y, 0, "2026.9")])
    cases.comment(command)
    cases.case("", "convert --from EPSG:9990@2026.9 --to EPSG:25832 --datum official "
               "--epoch 2026.90 -p 4", lines(f"{x} {y} GOE1"),
               lines(f"{rows[0][0]} {rows[0][1]} 32 GOE1"))


def other_directions(cases):
    cases.comment("\nETRS89 / UTM 32N to ITRF2020, the epoch per point in the third column "
                  "(cct: the inverse pipeline):")
    utm = [("571666.4475", "5539109.8152", "2026.9", "a"), ("500000.0", "5800000.0", "2016-02-29",
                                                             "b")]
    rows, command = cct(f"+step +inv +proj=utm +zone=32 +ellps=GRS80 {FRAME_2D_INVERSE}",
                        [(e, n, 0, t) for e, n, t, _ in utm])
    cases.comment(command)
    cases.case("", "convert --from EPSG:25832 --to EPSG:9990 --datum official --epoch-column 3 "
               "-p 4,10", lines(*(f"{e} {n} {t} {i}" for e, n, t, i in utm)),
               lines(*(f"{r[0]} {r[1]} {t} {i}" for r, (_, _, t, i) in zip(rows, utm))),
               tolerances=GEOGRAPHIC)
    cases.comment("to-ll: the UTM grid of system 5 to ETRS89 longitude and latitude:")
    rows, command = cct(f"+step +inv +proj=utm +zone=32 +ellps=GRS80 {FRAME_2D}",
                        [(utm[0][0], utm[0][1], 0, "2026.9")])
    cases.comment(command)
    cases.case("", "to-ll -s 5 --datum official --epoch 2026.9 -p 4,10",
               lines(f"{utm[0][0]} {utm[0][1]} 32 a"), lines(f"{rows[0][0]} {rows[0][1]} a"),
               tolerances=GEOGRAPHIC)
    cases.comment("from-ll: ETRS89 longitude and latitude to the UTM grid of system 5, the epoch "
                  "with the system:")
    rows, command = cct(f"{FRAME_2D_INVERSE} {UTM32}", [("10", "50", 0, "2026.9")])
    cases.comment(command)
    cases.case("", "from-ll -s 5@2026.9 --datum official -p 4", lines("10 50 a"),
               lines(f"{rows[0][0]} {rows[0][1]} 32 a"))
    cases.comment("ITRF2020 to DHDN / Gauss-Krueger zone 3, through ETRS89 and BeTA2007:")
    x, y, _ = STATIONS["GOE1"]
    rows, command = cct(f"{FRAME_2D} {GK3}", [(x, y, 0, "2026.9")])
    cases.comment(command)
    cases.case("", "convert --from EPSG:9990 --to EPSG:31467 --datum official --epoch 2026.9 -p 4",
               lines(f"{x} {y} GOE1"), lines(f"{rows[0][0]} {rows[0][1]} 3 GOE1"))


def heights(cases):
    cases.comment("\nEllipsoidal heights (EPSG:9989, 3D) to ETRS89 3D, the height taking part in "
                  "the Helmert transformation:")
    names = ["GOE1", "MUC1"]
    rows, command = cct(FRAME_3D, [(*STATIONS[n], "2026.9") for n in names])
    cases.comment(command)
    cases.case("", "convert --from EPSG:9989 --to EPSG:4937 --datum official --epoch 2026.9 "
               "-p 4,10", lines(*(" ".join(STATIONS[n]) + " " + n for n in names)),
               lines(*(" ".join(r) + " " + n for r, n in zip(rows, names))),
               tolerances=GEOGRAPHIC)
    cases.comment("and to UTM 32N with DHHN2016 heights through GCG2016 (H = h - N), the epoch "
                  "per point after the height:")
    epochs = ["2026.9", "2010-07-01"]
    rows, command = cct(f"{FRAME_3D} {TO_DHHN2016} {UTM32}",
                        [(*STATIONS[n], t) for n, t in zip(names, epochs)])
    cases.comment(command)
    cases.case("", "convert --from EPSG:9989 --to EPSG:25832+7837 --datum official "
               "--epoch-column 4 -p 4",
               lines(*(" ".join(STATIONS[n]) + f" {t} {n}" for n, t in zip(names, epochs))),
               lines(*(f"{r[0]} {r[1]} {r[2]} 32 {t} {n}"
                       for r, n, t in zip(rows, names, epochs))))


def layouts(cases):
    cases.comment("\nSemicolons and decimal commas, the epoch's too (the values rounded to 0.1 "
                  "mm, as -p 4 writes them: a decimal comma is no number to compare within a "
                  "tolerance); quoted fields, blanks inside the quotes; columns chosen by name, "
                  "replaced in place:")
    x, y, _ = STATIONS["BER1"]
    rows, command = cct(FRAME_2D + " " + UTM32, [(x, y, 0, "2026.9")])
    cases.comment(command)
    comma = lambda text: text.replace(".", ",")  # noqa: E731
    cases.case("", "convert --from EPSG:9990 --to EPSG:25832 --datum official --delimiter ';' "
               "--epoch-column 3 -p 4", lines(f"{comma(x)};{comma(y)};2026,9;BER1"),
               lines(f"{comma(rounded(rows[0][0]))};{comma(rounded(rows[0][1]))};32;2026,9;BER1"))
    cases.case("", "convert --from EPSG:9990 --to EPSG:25832 --datum official --epoch-column 3 "
               "-p 4", lines(f'"{x}","{y}"," 2026.9 ","BER1"'),
               lines(f'{rows[0][0]},{rows[0][1]},32," 2026.9 ","BER1"'))
    cases.case("", "convert --from EPSG:9990 --to EPSG:25832 --datum official --columns lon,lat "
               "--epoch-column t -p 4",
               lines("t,station,lat,lon", f"2026.9,BER1,{y},{x}"),
               lines("t,station,northing,easting", f"2026.9,BER1,{rows[0][1]},{rows[0][0]}"))


def refusals(cases):
    cases.comment("\nEpoch fields that are no decimal year or date make their lines unreadable, "
                  "epochs outside 1990 to 2100 are refused with the library's reason; the rest "
                  "converts (1990 and 2100 themselves too):")
    x, y, _ = STATIONS["GOE1"]
    good = [("2026.9", "a"), ("1990-01-01", "h"), ("2100", "i")]
    rows, command = cct(FRAME_2D + " " + UTM32, [(x, y, 0, t) for t, _ in good])
    cases.comment(command)
    converted = {i: f"{r[0]} {r[1]} 32 {t} {i}" for r, (t, i) in zip(rows, good)}
    where = "nuvex: <stdin>:"
    not_an_epoch = " is no decimal year or date (YYYY-MM-DD)"
    out_of_range = ": an epoch that is no decimal year from 1990 to 2100"
    given = [f"{x} {y} 2026.9 a", f"{x} {y} 2026-13-01 b", f"{x} {y} 2026/11/24 c",
             f"{x} {y} -2026.9 d", f"{x} {y} 2026.9.1 e", f"{x} {y}",
             f"{x} {y} 1989.99 f", f"{x} {y} 2100-12-31 g", f"{x} {y} 1990-01-01 h",
             f"{x} {y} 2100 i", f"abc {y} 2026.9 j"]
    output = [converted["a"], *("*error* " + g for g in given[1:8]), converted["h"],
              converted["i"], "*error* " + given[10]]
    errors = [f'{where}2: epoch "2026-13-01"{not_an_epoch}',
              f'{where}3: epoch "2026/11/24"{not_an_epoch}',
              f'{where}4: epoch "-2026.9"{not_an_epoch}',
              f'{where}5: epoch "2026.9.1"{not_an_epoch}',
              f"{where}6: too few fields: expected the epoch in column 3, found 2",
              f"{where}7{out_of_range}", f"{where}8{out_of_range}",
              f'{where}11: longitude "abc" is not a number',
              "nuvex: 11 lines read, 3 converted, 8 refused (6 unreadable, 2 epoch_out_of_range)"]
    cases.case("", "convert --from EPSG:9990 --to EPSG:25832 --datum official --epoch-column 3 "
               "-p 4", lines(*given), lines(*output), lines(*errors), 1)


def unused_epochs(cases):
    cases.comment("\nAn epoch where none is needed is not used, with a warning; a column named "
                  "for it still makes the first line a header, and its fields are not read:")
    rows, command = cct(UTM32, [("10", "50", 0, "2026.9")])
    cases.comment(command)
    point = f"{rows[0][0]} {rows[0][1]} 32"
    warning = ("nuvex: warning: {}: the conversion from G:3 to E:3 needs no epoch (only one "
               "between system 5, ITRF2020, and another system does); it is not used; GNSS "
               "coordinates in ITRF2020 or WGS 84 (G2296) are EPSG:9990 or EPSG:10606")
    cases.case("", "convert --from EPSG:4326 --to EPSG:25832 --datum official --epoch 2026.9 -p 4",
               lines("10 50"), lines(point), lines(warning.format("--epoch 2026.9")))
    cases.case("", "convert --from EPSG:4258 --to EPSG:25832 --datum official --epoch-column time "
               "-p 4", lines("lon lat time", "10 50 soon"),
               lines("easting northing zone time", point + " soon"),
               lines(warning.format("--epoch-column time")))


HEADER = """\
# System 5 (ITRF2020 at an epoch) through the nuvex command line, one case per line:
#   file|arguments|input|expected standard output|expected standard error|exit status|tolerances
# Texts use the escapes of cli_tables.txt (\\n, \\p for "|", \\\\). With a file the input is
# written to that file (the arguments name it) and the command line is the README's, which must
# show it and the file's lines as they are here; else the input is standard input. Each output
# line must match: every numeric field within its tolerance (one per numeric field in order, the
# last for the rest: metres, degrees for longitude and latitude: 1e-9 deg is some 0.1 mm), the
# text between the numbers exactly; standard error and the exit status exactly.
#
# Made by tests/generators/cli_epochs/make_cases.py with PROJ 9.1.1's cct (Debian proj-bin), run
# in the repository root; each block names its cct command, which reads "x y z epoch" (dates as
# decimal years: the year plus the days before the date over the days of the year). EPSG:10586
# (ITRF2020 to ETRF2000) is
#   {helmert}
# at height 0 between push and pop of the third coordinate (2D), or with the height (3D).
# The expected values are cct's output as printed; the rest was written by hand in the script.
"""


def main():
    cases = CaseFile()
    for make in (readme_examples, epochs_given_once, other_directions, heights, layouts,
                 refusals, unused_epochs):
        make(cases)
    OUTPUT.write_text(HEADER.format(helmert=HELMERT) + "\n".join(cases.lines) + "\n")
    print(f"{OUTPUT.relative_to(ROOT)}: {sum(not l.startswith('#') for l in cases.lines)} cases")


if __name__ == "__main__":
    main()
