"""Builds framelot._framelot with the project's CMake build, for the Python
that runs this (pip's), and hands it to setuptools with the package's files.

FRAMELOT_BUILD names a build folder to use (make python passes the one
`make build` made, so nothing is compiled twice); otherwise the module is
built in build-python/ beside this folder, against the pinned AVIF and
JPEG XL decoders that scripts/deps.sh prepares (FRAMELOT_CODECS=system: the
system's).
"""

import os
import pathlib
import shutil
import subprocess
import sys
import sysconfig

from setuptools import Extension, setup
from setuptools.command.build_ext import build_ext

HERE = pathlib.Path(__file__).resolve().parent
ROOT = HERE.parent


def codecs():
    chosen = os.environ.get("FRAMELOT_CODECS", "")
    if chosen == "system":
        return ""
    if chosen:
        return chosen
    return subprocess.run(["bash", str(ROOT / "scripts/deps.sh"), "linux"], check=True, capture_output=True,
                          text=True).stdout.strip()


class CMakeBuild(build_ext):
    def build_extension(self, ext):
        build = pathlib.Path(os.environ.get("FRAMELOT_BUILD") or ROOT / "build-python")
        if not (build / "CMakeCache.txt").exists():
            subprocess.run(["cmake", "-S", str(ROOT), "-B", str(build), "-DCMAKE_BUILD_TYPE=RelWithDebInfo",
                            "-DFRAMELOT_WINDOW=OFF", f"-DFRAMELOT_CODECS={codecs()}",
                            f"-DPython_EXECUTABLE={sys.executable}"], check=True)
        subprocess.run(["cmake", "--build", str(build), "--target", "framelot_python", "-j", str(os.cpu_count() or 1)],
                       check=True)
        built = build / "python/framelot" / ("_framelot" + sysconfig.get_config_var("EXT_SUFFIX"))
        if not built.exists():
            raise RuntimeError(f"{build} holds no module for this Python ({sys.executable}); "
                               "build it with -DPython_EXECUTABLE=" + sys.executable)
        target = pathlib.Path(self.get_ext_fullpath(ext.name))
        target.parent.mkdir(parents=True, exist_ok=True)
        shutil.copyfile(built, target)


setup(ext_modules=[Extension("framelot._framelot", sources=[])], cmdclass={"build_ext": CMakeBuild})
