"""Starts the built Tovik.exe under Wine on a demo partition D: with a \\Recycled folder.

`demo.py [x86_64|i686]`: the i686 build runs in a 64-bit prefix, as on 64-bit Windows. The
prefix and the partition live in build/demo (build/demo-i686) and are kept between runs, so a
vault made in one run is still there in the next. With no $DISPLAY the program runs in Xvfb,
and a screenshot of it is saved instead.
"""

import os
import pathlib
import shutil
import sys
import time

arch = sys.argv[1] if len(sys.argv) > 1 else "x86_64"
top = pathlib.Path(__file__).resolve().parent.parent
builds = top / "build"
work = builds / ("demo" if arch == "x86_64" else "demo-" + arch)
tools = pathlib.Path("tests", "e2e", "tools")
os.environ.update(TOVIK_EXE=str(builds / ("win-" + arch) / "Tovik.exe"), TOVIK_E2E_ARCH=arch,
                  TOVIK_E2E_TOOLS=str(builds / ("win-" + arch) / tools),
                  TOVIK_E2E_PREFIX_TOOLS=str(builds / "win-x86_64" / tools),
                  TOVIK_E2E_WORK=str(work))
sys.path.insert(0, str(top / "tests" / "e2e"))

from tovik_e2e import MAIN_TITLE, Drive, Scene, Session, Tovik, start_xvfb  # noqa: E402


def main():
    work.mkdir(parents=True, exist_ok=True)
    display = os.environ.get("DISPLAY")
    xvfb_pid = None
    if not display:
        display, xvfb_pid = start_xvfb()
    session = Session({"display": display, "prefix": str(work / "prefix")})
    Session.make_locale()
    # A prefix made before the fonts were set up is made anew; the demo partition, and the
    # vaults on it, lie outside it.
    if not (session.drive_c / "windows" / "Fonts" / "marlett.ttf").exists():
        if session.prefix.exists():
            session.kill_server()
            shutil.rmtree(session.prefix)
        print("Making the demo Wine prefix in %s" % session.prefix)
        session.make_prefix(explorer_standin=False)
    scene = Scene(session, Drive("d", "hd", recycled=True), name="demo").apply(fresh=False)
    tovik = Tovik(scene)
    try:
        if xvfb_pid is None:
            print("Tovik.exe (%s) runs on %s; drive D: is %s" % (arch, display, scene.path("d")))
            tovik.start(wait=False).process.wait()
            return
        tovik.start()
        time.sleep(1)
        shot = session.screenshot(work / "screenshot.png")
        print("No $DISPLAY: Tovik.exe (%s) ran in Xvfb; its screenshot is %s" % (arch, shot))
    finally:
        session.kill_server()
        Scene.unmount_all()
        if xvfb_pid:
            os.kill(xvfb_pid, 15)


if __name__ == "__main__":
    main()
