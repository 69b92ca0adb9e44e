"""Anyone can check a Tovik.exe against the sources: the same sources, copied to another
folder and built there, give the same bytes for both architectures."""

import os
import pathlib
import shutil
import subprocess
import tempfile
import unittest

TOP = pathlib.Path(__file__).resolve().parents[2]
BUILT = {"i686": os.environ.get("TOVIK_EXE_I686"), "x86_64": os.environ.get("TOVIK_EXE_X86_64")}


class ReproducibleBuildTest(unittest.TestCase):
    def test_a_build_elsewhere_gives_the_same_bytes(self):
        with tempfile.TemporaryDirectory() as elsewhere:
            sources = pathlib.Path(elsewhere) / "another" / "tovik"
            shutil.copytree(TOP, sources, ignore=shutil.ignore_patterns("build", ".git"))
            for arch, built in BUILT.items():
                with self.subTest(arch):
                    folder = pathlib.Path(elsewhere) / ("build-" + arch)
                    subprocess.run(["cmake", "-S", sources, "-B", folder, "-G", "Ninja",
                                    "-DCMAKE_BUILD_TYPE=Release",
                                    "-DCMAKE_TOOLCHAIN_FILE=%s/cmake/mingw-%s.cmake"
                                    % (sources, arch)], check=True, capture_output=True)
                    subprocess.run(["cmake", "--build", folder, "--target", "Tovik"],
                                   check=True, capture_output=True)
                    rebuilt = (folder / "Tovik.exe").read_bytes()
                    self.assertTrue(rebuilt == pathlib.Path(built).read_bytes(),
                                    "%s: the two builds differ" % arch)


if __name__ == "__main__":
    unittest.main()
