#!/usr/bin/env python3
"""Regenerates tests/data/gfortran_list_input_cases.txt from gfortran's list-directed READ.

Run by hand (not part of the build):  python3 generate.py
It compiles list_read.f90 with gfortran, feeds it every case below on standard input and writes
one line per case whose READ succeeded (IOSTAT 0). Cases gfortran refuses are reported on
standard error and left out. The cases avoid what this runtime deliberately reads differently
from standard Fortran: backslash escapes in quoted values, a slash before character items
(the runtime blanks them), and values with trailing garbage (the runtime reports a status).
"""
import pathlib
import subprocess
import sys
import tempfile

HERE = pathlib.Path(__file__).resolve().parent
OUTPUT = HERE.parent.parent / "data" / "gfortran_list_input_cases.txt"

# (kind, item count, input text). Kinds: I integer, R real, D double precision, L logical,
# C CHARACTER*10, Z complex, Y double complex, M mixed (I R D L C Z, count ignored).
CASES = [
    # integers: separators, signs, repeat factors, null values, slash, lines
    ("I", 3, "1 2 3"),
    ("I", 3, "1,2,3"),
    ("I", 3, "1 , 2 ,3"),
    ("I", 3, "  -1\t+2\t 0"),
    ("I", 3, "1,,3"),
    ("I", 2, ",2,"),
    ("I", 2, ",,"),
    ("I", 3, "1 / 5"),
    ("I", 3, "1,2/"),
    ("I", 3, "/"),
    ("I", 4, "3*7 1"),
    ("I", 4, "3*7,1"),
    ("I", 4, "2*,5 6"),
    ("I", 4, "2* 5 6"),
    ("I", 4, "1 2*3 4"),
    ("I", 4, "4*-12"),
    ("I", 3, "1\n2\n3"),
    ("I", 3, "1,\n2,\n3"),
    ("I", 3, "1 2\n\n3"),
    ("I", 2, "2147483647 -2147483647"),
    ("I", 2, "007 -0"),
    ("I", 2, "1 2 3 4"),
    ("I", 2, "'12' \"34\""),
    ("I", 3, "1,2,3,"),
    ("I", 3, "1\r\n2\r\n3"),
    # reals: Fortran forms, exponents with D, E and bare signs
    ("R", 4, "1 1. .5 -1.5"),
    ("R", 4, "1.5E3 1.5e-3 1.5E+3 -2.5e+01"),
    ("R", 4, "1.5D3 1.5d-3 1.5D+3 1.5d0"),
    ("R", 3, "1.5+3 1.5-3 -1.5+2"),
    ("R", 3, "0.1 0.2 0.3"),
    ("R", 3, "3.4028234E38 1.17549435E-38 1E-45"),
    ("R", 3, "123456789 0.333333333333333333333 -0.0"),
    ("R", 3, "1,,3"),
    ("R", 4, "2*2.5 2*-1"),
    ("R", 3, "2*, 7.25"),
    ("R", 3, "1.25/"),
    ("R", 3, "+.75 -.125E2 5.E-1"),
    ("R", 2, "1e5\n2e-5"),
    ("R", 2, "'1.5' 2"),
    ("D", 4, "0.1 0.2 0.3 0.7"),
    ("D", 4, "1.5D3 1.5-3 1.5+3 1.5E+300"),
    ("D", 3, "3.141592653589793238 2.718281828459045 1.4142135623730951"),
    ("D", 3, "1.7976931348623157D308 2.2250738585072014D-308 4.9D-324"),
    ("D", 3, "12345678901234567890 -1 1.0000000000000002"),
    ("D", 3, "3*0.1"),
    ("D", 3, "1.0, , 2.0"),
    ("D", 3, "2*1.0D-1 /"),
    ("D", 2, "1.5\n\n\n-1.5"),
    ("D", 1, "9.87654321098765432109876543210987"),
    # logicals
    ("L", 4, "T F .T. .F."),
    ("L", 4, ".TRUE. .FALSE. true false"),
    ("L", 4, "t f .t .f"),
    ("L", 4, "Tx Fabc .Tomorrow .False."),
    ("L", 3, "F,,F"),
    ("L", 3, "3*F"),
    ("L", 4, "2*,F F"),
    ("L", 3, "F / F"),
    ("L", 2, "'F' \"F\""),
    # characters (CHARACTER*10): quotes, doubled quotes, truncation, lines, repeats, nulls
    ("C", 3, "'abc' \"def\" ghi"),
    ("C", 3, "'it''s' \"say \"\"hi\"\"\" 'a\"b'"),
    ("C", 2, "'0123456789ABC' 'x'"),
    ("C", 2, "abcdefghijklm next"),
    ("C", 3, "'a b, c' , 'd/e' ,'f(g)'"),
    ("C", 3, "'' 'x' ''"),
    ("C", 3, "'one','two','six'"),
    ("C", 3, "'a',,'c'"),
    ("C", 3, "3*'rep'"),
    ("C", 3, "2*abc 'z'"),
    ("C", 3, "2*,'z'"),
    ("C", 2, "'split\nvalue' 'b'"),
    ("C", 2, "'first'\n'second'"),
    ("C", 2, "\t'tab'\t'bed'"),
    ("C", 1, "'          '"),
    # complex
    ("Z", 2, "(1,2) (3,4)"),
    ("Z", 2, "(1.5 ,2) ,(3,4)"),
    ("Z", 2, "(1,2) ,(3,4)"),
    ("Z", 2, "( 1.5 , -2.5 ) ( -3 , 4 )"),
    ("Z", 2, "(1.5D1,2.5E-1),(3.5+1,-4.5-1)"),
    ("Z", 3, "2*(1,2) (3,4)"),
    ("Z", 3, "(1,2),,(5,6)"),
    ("Z", 3, "2*,(5,6)"),
    ("Z", 3, "2* (5,6)"),
    ("Z", 3, "(1,2) / (3,4)"),
    ("Z", 2, "(1,\n2) (3\n,4)"),
    ("Z", 2, "(\n1\n,\n2\n)\n(3,4)"),
    ("Z", 2, "(0.1,0.2) (-0.0,0)"),
    ("Y", 2, "(1.0, 2.0) (0.1,0.7)"),
    ("Y", 2, "(1.5D3,1.5-3) (3.141592653589793,-2.718281828459045)"),
    ("Y", 3, "3*(0.1,0.2)"),
    ("Y", 2, "(1,2)\n(3,4)"),
    # mixed items in one statement
    ("M", 6, "1 2.5 3.25 T 'abc' (1,2)"),
    ("M", 6, "-7,0.5,1.5D-3,.FALSE.,'x y',(1.5,-2.5)"),
    ("M", 6, "1\n2\n3\nT\n'c'\n(4,5)"),
    ("M", 6, ",,,,,,"),
    ("M", 6, "1 2 3 T 'abcdefghijkl' (0,0) extra values"),
]

ESCAPES = {"\\": "\\\\", "\n": "\\n", "\t": "\\t", "\r": "\\r"}


def escape(text):
    return "".join(ESCAPES.get(c, c) for c in text)


def run_case(program, kind, count, text):
    stdin = f"{kind} {count}\n{text}\n"
    result = subprocess.run([program], input=stdin.encode(), capture_output=True, check=True)
    lines = result.stdout.decode().splitlines()
    status = int(lines[0].split()[1])
    values = []
    for line in lines[1:]:
        if kind in "ZY" or (kind == "M" and len(values) == 5):
            # Two fixed-width fields (ES16 or ES26) that may touch without a blank between.
            half = len(line) // 2
            line = line[:half].strip() + "," + line[half:].strip()
        values.append(line.strip() if not line.startswith("[") else line)
    return status, values


def main():
    for kind, count, text in CASES:
        assert "|" not in text, "the data file separates fields with |"
    version = subprocess.run(["gfortran", "--version"], capture_output=True, check=True)
    version_line = version.stdout.decode().splitlines()[0]
    with tempfile.TemporaryDirectory() as work:
        program = pathlib.Path(work) / "list_read"
        subprocess.run(["gfortran", "-O0", "-o", str(program), str(HERE / "list_read.f90")],
                       check=True)
        lines = []
        for kind, count, text in CASES:
            status, values = run_case(program, kind, count, text)
            if status != 0:
                print(f"left out (IOSTAT {status}): {kind} {count} {text!r}", file=sys.stderr)
                continue
            lines.append(" | ".join([f"{kind} {count}", escape(text)] + values))
    header = [
        "# List-directed input read by gfortran's list-directed READ(*,*), one case per line:",
        "#   <kind> <count> | <input, with \\n \\t \\r \\\\ escapes> | <item 1> | <item 2> ...",
        "# Kinds: I integer, R real, D double precision, L logical, C CHARACTER*10, Z complex,",
        "#   Y double complex, M mixed (integer, real, double, logical, CHARACTER*10, complex).",
        "# Items start as sentinels: integers -999, reals -999.0, logicals T, characters",
        "#   '~~~~~~~~~~', complex (-999,-999); a null value leaves the sentinel.",
        "# Reals printed with 9 (double: 17) significant digits; characters in brackets;",
        "#   complex as re,im.",
        f"# Generated by tests/generators/gfortran_list_input/generate.py with {version_line}.",
        "# Do not edit by hand; rerun the generator instead.",
    ]
    OUTPUT.write_text("\n".join(header + lines) + "\n")
    print(f"wrote {len(lines)} cases to {OUTPUT}")


if __name__ == "__main__":
    main()
