# Shared helpers of the Python package's tests. The package is found through PYTHONPATH (CTest sets
# it to the build tree); the nuvex converter, when built, through NUVEX_CLI.
import os
import subprocess

import pytest

# Decimals the converter is asked for: metres, degrees (below the tolerances of the comparisons).
CLI_PRECISION = "9,12"


def without_inapplicable_options(arguments):
    """The converter refuses options that change nothing (the package takes them and ignores
    them): --zone-width without a grid of system 4, --zone-prefix on a Gauss-Krueger grid."""
    arguments = list(arguments)
    grids = {arguments[i + 1] for i, a in enumerate(arguments[:-1]) if a in ("--from", "--to")}
    if "--system" in arguments:
        grids.add("E:" + arguments[arguments.index("--system") + 1])
    target = arguments[arguments.index("--to") + 1] if "--to" in arguments else (
        "E:" + arguments[arguments.index("--system") + 1] if "from-ll" in arguments else "G:3")
    if "--zone-width" in arguments and "E:4" not in grids:
        at = arguments.index("--zone-width")
        del arguments[at:at + 2]
    if "--zone-prefix" in arguments and target in ("E:1", "E:4"):
        arguments.remove("--zone-prefix")
    return arguments


@pytest.fixture(scope="session")
def converter():
    """Runs the nuvex converter on rows of numbers; a row it cannot convert comes back as None."""
    path = os.environ.get("NUVEX_CLI")
    if not path or not os.path.exists(path):
        pytest.skip("the nuvex converter is not built (NUVEX_CLI)")

    def run(arguments, rows):
        arguments = without_inapplicable_options(arguments)
        text = "".join(" ".join(format(value, ".17g") for value in row) + "\n" for row in rows)
        finished = subprocess.run([path, *arguments, "-p", CLI_PRECISION], input=text,
                                  capture_output=True, text=True, check=False)
        assert finished.returncode in (0, 1), finished.stderr
        return [None if line.startswith("*error*") else tuple(float(f) for f in line.split())
                for line in finished.stdout.splitlines()]

    return run
