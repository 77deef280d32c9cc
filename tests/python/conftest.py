# Shared helpers of the Python package's tests. The package is found through PYTHONPATH (CTest sets
# it to the build tree); the nuvex converter, when built, through NUVEX_CLI.
import os
import subprocess

import pytest

# Decimals the converter is asked for: metres, degrees (below the tolerances of the comparisons).
CLI_PRECISION = "9,12"


@pytest.fixture(scope="session")
def converter():
    """Runs the nuvex converter on rows of numbers; a row it cannot convert comes back as None."""
    path = os.environ.get("NUVEX_CLI")
    if not path or not os.path.exists(path):
        pytest.skip("the nuvex converter is not built (NUVEX_CLI)")

    def run(arguments, rows):
        text = "".join(" ".join(format(value, ".17g") for value in row) + "\n" for row in rows)
        finished = subprocess.run([path, *arguments, "-p", CLI_PRECISION], input=text,
                                  capture_output=True, text=True, check=False)
        assert finished.returncode in (0, 1), finished.stderr
        return [None if line.startswith("*error*") else tuple(float(f) for f in line.split())
                for line in finished.stdout.splitlines()]

    return run
