"""Builds the compiled module nuvex._nuvex through the project's own CMake build.

The module links the library statically, compiled with the same options and the same optional
vector path as every other part of nuvex, so the package is built by CMake (target nuvex_python)
and not by a second description of the library's sources. Settings (environment):
    NUVEX_CMAKE_BUILD_DIR   CMake build directory to use (default: under setuptools' build_temp);
                            a kept one makes later builds incremental
    CMAKE_BUILD_PARALLEL_LEVEL  parallel compile jobs (default: one per core)
"""
import os
import pathlib
import re
import shutil
import subprocess
import sys

from setuptools import Extension, setup
from setuptools.command.build_ext import build_ext

ROOT = pathlib.Path(__file__).resolve().parent


def library_version():
    text = (ROOT / "CMakeLists.txt").read_text(encoding="utf-8")
    return re.search(r"project\(nuvex VERSION ([0-9.]+)", text).group(1)


class CMakeBuild(build_ext):
    def build_extension(self, ext):
        build_dir = pathlib.Path(os.environ.get("NUVEX_CMAKE_BUILD_DIR") or
                                 pathlib.Path(self.build_temp).resolve() / "cmake")
        subprocess.run(["cmake", "-S", str(ROOT), "-B", str(build_dir),
                        "-DCMAKE_BUILD_TYPE=Release", "-DNUVEX_BUILD_TESTS=OFF",
                        "-DNUVEX_BUILD_TOOLS=OFF", "-DNUVEX_BUILD_BENCH=OFF",
                        f"-DPython3_EXECUTABLE={sys.executable}"], check=True)
        jobs = os.environ.get("CMAKE_BUILD_PARALLEL_LEVEL") or str(os.cpu_count() or 1)
        subprocess.run(["cmake", "--build", str(build_dir), "--target", "nuvex_python",
                        "--parallel", jobs], check=True)
        built = list((build_dir / "python" / "nuvex").glob("_nuvex*"))
        if len(built) != 1:
            raise RuntimeError(f"the CMake build made {built}, not one module nuvex._nuvex")
        target = pathlib.Path(self.get_ext_fullpath(ext.name))
        target.parent.mkdir(parents=True, exist_ok=True)
        shutil.copyfile(built[0], target)


setup(version=library_version(),
      ext_modules=[Extension("nuvex._nuvex", sources=[])],
      cmdclass={"build_ext": CMakeBuild})
