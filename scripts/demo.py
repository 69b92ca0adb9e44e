"""Starts the built Tovik.exe under Wine on a demo partition D: with a \\Recycled folder.

The prefix and the partition live in build/demo and are kept between runs, so a vault made in
one run is still there in the next. With no $DISPLAY the program runs in Xvfb, and a
screenshot of it is saved instead.
"""

import os
import pathlib
import shutil
import sys
import time

top = pathlib.Path(__file__).resolve().parent.parent
work = top / "build" / "demo"
tools = top / "build" / "win-x86_64" / "tests" / "e2e" / "tools"
os.environ.update(TOVIK_EXE=str(top / "build" / "win-x86_64" / "Tovik.exe"),
                  TOVIK_E2E_TOOLS=str(tools), TOVIK_E2E_WORK=str(work))
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
            print("Tovik.exe runs on %s; drive D: is %s" % (display, scene.path("d")))
            tovik.start(wait=False).process.wait()
            return
        tovik.start()
        time.sleep(1)
        shot = session.screenshot(work / "screenshot.png")
        print("No $DISPLAY: Tovik.exe ran in Xvfb; its screenshot is %s" % shot)
    finally:
        session.kill_server()
        Scene.unmount_all()
        if xvfb_pid:
            os.kill(xvfb_pid, 15)


if __name__ == "__main__":
    main()
