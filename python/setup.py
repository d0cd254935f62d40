"""The isocubes Python package over the mcubes library, built by CMake from
the repository around this folder, offline with the platform's packages:

    /usr/bin/python3 -m pip install --no-build-isolation --no-index ./python

The build tree is kept in build/python/ of the repository, one per
interpreter, so that installing an unchanged tree again builds nothing.
"""

import hashlib
import os
import pathlib
import re
import shutil
import subprocess
import sys

from setuptools import Extension, setup
from setuptools.command.build_ext import build_ext

ROOT = pathlib.Path(__file__).resolve().parent.parent


class CMakeBuild(build_ext):
    """Configures the repository outside the source tree and builds only the
    module's target."""

    def build_extension(self, ext):
        target = pathlib.Path(self.get_ext_fullpath(ext.name)).resolve()
        # A venv's interpreter and the one it was made from build alike, but
        # CMake's cache holds the interpreter's path: one tree for each.
        interpreter = hashlib.sha1(sys.executable.encode()).hexdigest()[:8]
        build = ROOT / "build" / "python" / f"{sys.implementation.cache_tag}-{interpreter}"
        subprocess.run(
            ["cmake", "-S", str(ROOT), "-B", str(build), "-DCMAKE_BUILD_TYPE=Release",
             "-DBUILD_TESTING=OFF", f"-DPython3_EXECUTABLE={sys.executable}",
             f"-DPYTHON_EXECUTABLE={sys.executable}"],
            check=True)
        subprocess.run(
            ["cmake", "--build", str(build), "--target", "isocubes_python",
             "--parallel", str(os.cpu_count() or 1)],
            check=True)
        built = next(pathlib.Path(build, "python", "isocubes").glob("_isocubes*"))
        target.parent.mkdir(parents=True, exist_ok=True)
        shutil.copyfile(built, target)


def version():
    text = (ROOT / "include" / "mcubes" / "version.h").read_text()
    return re.search(r'MCUBES_VERSION "(\S+)"', text).group(1)


setup(
    name="isocubes",
    version=version(),
    description="Exact marching-cubes surfaces of volumes, from numpy arrays or volume files",
    packages=["isocubes"],
    package_data={"isocubes": ["*.pyi", "py.typed"]},
    ext_modules=[Extension("isocubes._isocubes", sources=[])],
    cmdclass={"build_ext": CMakeBuild},
    install_requires=["numpy"],
    python_requires=">=3.9",
    zip_safe=False,
)
