"""PROJ's cct (Debian proj-bin, PROJ 9.1.1) as the case generators run it: -d 12, one point a
line, the coordinates a point lacks written as 0."""
import math
import subprocess


def cct(arguments, points, cwd=None):
    """Runs cct with the arguments (a string or a list) on points of 2 to 4 coordinates (x, y, z,
    t); returns per point the (x, y, z) cct wrote, or None where cct refused it (an error record,
    or a result that is not finite). cwd: where relative grid paths are found."""
    if isinstance(arguments, str):
        arguments = arguments.split()
    text = "".join(" ".join([repr(c) for c in p] + ["0"] * (4 - len(p))) + "\n" for p in points)
    out = subprocess.run(["cct", "-d", "12"] + arguments, input=text, capture_output=True,
                         text=True, check=True, cwd=cwd).stdout.splitlines()
    results, i = [], 0
    while i < len(out):
        if out[i].startswith("# Record"):
            results.append(None)
            i += 2
            continue
        v = tuple(float(f) for f in out[i].split()[:3])
        results.append(v if all(math.isfinite(c) for c in v) else None)
        i += 1
    assert len(results) == len(points), (arguments, len(results), len(points))
    return results
