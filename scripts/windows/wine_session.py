#!/usr/bin/env python3
"""A person culling a folder with the packaged Windows build under Wine.

The zip from dist/ is unpacked and Glanceway.exe started in a real window on the
X server of the caller (wintest.sh starts a private one). What is checked is
what differs on Windows:

- settings live in the registry: the earlier product's key is imported once,
  and the folder is remembered under HKCU\\Software\\Quillmark\\Glanceway
  (read back with `wine reg query`);
- the folder comes from the registry as a drive-letter path with backslashes,
  and both it and one photo have non-ASCII names;
- marks typed on the keyboard land in XMP sidecars that exiftool reads;
- the thumbnail cache is below %LOCALAPPDATA%;
- a rejected photo goes to the recycle bin, or stays where it was with its
  sidecar when Wine cannot do that.

Runs with the environment of wintest.sh (WINEPREFIX and friends).
"""

import argparse
import glob
import json
import os
import re
import shutil
import subprocess
import sys
import time
import zipfile

TIMEOUT = 60
# From closing the main window to the end of the process, Wine's own shut-down
# included.
QUIT_TIMEOUT = 10
KEY = r"HKCU\Software\Quillmark\Glanceway"
LEGACY_KEY = r"HKCU\Software\Pellowick\Pellowick"

failures = []


def check(what, ok, detail=""):
    print(("ok    " if ok else "FAIL  ") + what + (f"  ({detail})" if detail and not ok else ""))
    if not ok:
        failures.append(what)
    return ok


def run(*args, check_exit=True):
    result = subprocess.run(args, capture_output=True, text=True, encoding="utf-8", errors="replace")
    if check_exit and result.returncode != 0:
        raise RuntimeError(f"{' '.join(args)}: {result.stderr.strip()}")
    return result.stdout.replace("\r", "")


def wait_for(predicate, what, timeout=TIMEOUT):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        value = predicate()
        if value:
            return value
        time.sleep(0.25)
    raise TimeoutError(what)


def settled(read, what, still=0.75):
    """read()'s value once it has stayed the same for `still` seconds: the
    program moves on by itself after a rating, a moment after the sidecar."""
    deadline = time.monotonic() + TIMEOUT
    last, since = None, time.monotonic()
    while time.monotonic() < deadline:
        value, now = read(), time.monotonic()
        if value != last:
            last, since = value, now
        elif value and now - since >= still:
            return value
        time.sleep(0.1)
    raise TimeoutError(what)


def windows_path(path):
    return run("winepath", "-w", path).strip()


def reg_query(key):
    """The values of one registry key as {name: data}, or None when it is missing.

    Read through `reg export`, whose file is UTF-16: what `reg query` prints
    goes through the console's code page and loses non-ASCII names."""
    exported = os.path.join(os.environ.get("TMPDIR", "/tmp"), f"glanceway-reg-{os.getpid()}.reg")
    result = subprocess.run(["wine", "reg", "export", key, windows_path(exported), "/y"], capture_output=True)
    if result.returncode != 0 or not os.path.exists(exported):
        return None
    with open(exported, encoding="utf-16") as handle:
        text = handle.read()
    os.remove(exported)
    values, in_key = {}, False
    for line in text.splitlines():
        if line.startswith("["):
            in_key = line.strip("[]").lower() == key.lower().replace("hkcu\\", "hkey_current_user\\")
            continue
        match = re.match(r'^"((?:[^"\\]|\\.)*)"=(.*)$', line)
        if not in_key or not match:
            continue
        name, data = match.group(1), match.group(2)
        if data.startswith('"'):
            data = re.sub(r"\\(.)", r"\1", data[1:-1])
        elif data.startswith("dword:"):
            data = str(int(data[6:], 16))
        values[re.sub(r"\\(.)", r"\1", name)] = data
    return values


def reg(*args):
    run("wine", "reg", *args)


def find_windows(pattern):
    result = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", pattern],
                            capture_output=True, text=True)
    return result.stdout.split()


def window_name(window):
    return run("xdotool", "getwindowname", window, check_exit=False).strip()


def keys(*names):
    run("xdotool", "key", "--clearmodifiers", *names)


def focus(window):
    run("xdotool", "windowactivate", "--sync", window, check_exit=False)
    run("xdotool", "windowfocus", "--sync", window, check_exit=False)


def check_quits(app):
    """The program ends by itself within seconds of its window closing, with
    exit code 0; it is ended here when it does not."""
    try:
        wait_for(lambda: app.poll() is not None, "the program to quit", QUIT_TIMEOUT)
    except TimeoutError:
        app.kill()
        app.wait()
        check(f"program ended within {QUIT_TIMEOUT} s of closing its window", False, "still running")
        return
    check(f"program ended within {QUIT_TIMEOUT} s of closing its window", True)
    check("program quit cleanly", app.returncode == 0, f"exit code {app.returncode}")


def exif(sidecar):
    out = run("exiftool", "-j", "-XMP-xmp:Rating", "-XMP-xmp:Label", sidecar, check_exit=False)
    try:
        return json.loads(out)[0]
    except (ValueError, IndexError):
        return {}


def sidecar_of(folder, name):
    return os.path.join(folder, os.path.splitext(name)[0] + ".xmp")


def screenshot(artifacts, name):
    if shutil.which("import"):
        subprocess.run(["import", "-window", "root", os.path.join(artifacts, name)], capture_output=True)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--repo", required=True)
    parser.add_argument("--build", required=True)
    args = parser.parse_args()

    zips = sorted(glob.glob(os.path.join(args.repo, "dist", "Glanceway-*-win64.zip")))
    if not zips:
        sys.exit("no dist/Glanceway-*-win64.zip; run make windows first")
    session = os.path.join(args.build, "session")
    artifacts = os.path.join(args.build, "artifacts")
    shutil.rmtree(session, ignore_errors=True)
    os.makedirs(artifacts, exist_ok=True)
    with zipfile.ZipFile(zips[-1]) as archive:
        archive.extractall(os.path.join(session, "program"))
    exe = glob.glob(os.path.join(session, "program", "*", "Glanceway.exe"))[0]

    # Twelve photos in a folder whose name is not ASCII; one photo's name neither.
    folder = os.path.join(session, "Fotos Überprüfung – 写真")
    os.makedirs(folder)
    cameras = os.path.join(args.repo, "tests", "data", "cameras")
    for name in sorted(os.listdir(cameras)):
        shutil.copy(os.path.join(cameras, name), folder)
    shutil.copy(os.path.join(args.repo, "tests", "data", "fixtures", "fixture.jpg"),
                os.path.join(folder, "Straße_fixture.jpg"))
    photos = sorted(os.listdir(folder))

    # The earlier product's settings: a folder as Windows writes it, and a
    # preference in a group (a subkey).
    win_folder = windows_path(folder)
    for key in (KEY, LEGACY_KEY):
        subprocess.run(["wine", "reg", "delete", key, "/f"], capture_output=True)
    reg("add", LEGACY_KEY, "/v", "lastDirectory", "/t", "REG_SZ", "/d", win_folder, "/f")
    reg("add", LEGACY_KEY + r"\slideshow", "/v", "seconds", "/t", "REG_DWORD", "/d", "9", "/f")
    check("legacy key written", reg_query(LEGACY_KEY) is not None)

    local_appdata = windows_to_unix(run("wine", "cmd", "/c", "echo", "%LOCALAPPDATA%").strip())
    thumbnails = os.path.join(local_appdata, "Quillmark", "Glanceway", "cache", "thumbnails-v1")
    shutil.rmtree(os.path.join(local_appdata, "Quillmark"), ignore_errors=True)

    app = subprocess.Popen(["wine", exe], cwd=session, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        cull(app, folder, photos, thumbnails, artifacts)
    except (TimeoutError, RuntimeError) as error:
        check("culling session", False, str(error))
        print("      windows shown:", [window_name(w) for w in find_windows(".")])
        screenshot(artifacts, "wine-failure.png")
    finally:
        if app.poll() is None:
            app.kill()

    # What the registry holds afterwards.
    values = reg_query(KEY) or {}
    print(f"{KEY}: {values}")
    def same_path(a, b):
        return a.replace("\\", "/").rstrip("/").lower() == b.replace("\\", "/").rstrip("/").lower()

    check("folder remembered in the registry",
          same_path(values.get("lastDirectory", ""), win_folder), values.get("lastDirectory", "missing"))
    last_file = values.get("lastFile", "")
    check("last photo remembered", same_path(os.path.dirname(last_file.replace("\\", "/")), win_folder),
          last_file or "missing")
    migration = reg_query(KEY + r"\migration") or {}
    check("earlier product's settings imported once", migration.get("pellowickImported") == "true",
          str(migration))
    slideshow = reg_query(KEY + r"\slideshow") or {}
    check("imported preference kept its value", slideshow.get("seconds") in ("9", "0x9"), str(slideshow))
    check("earlier product's key left as it was", reg_query(LEGACY_KEY + r"\migration") is None)

    print(f"{len(failures)} failed" if failures else "culling session passed")
    return 1 if failures else 0


def windows_to_unix(path):
    return run("winepath", "-u", path).strip()


def cull(app, folder, photos, thumbnails, artifacts):
    title_window = wait_for(lambda: (find_windows("Quillmark Glanceway") or [None])[0], "main window")
    focus(title_window)

    def current():
        title = window_name(title_window)
        names = [name for name in photos if title.startswith(name + " ")]
        return names[0] if names else None

    # The folder from the imported settings opens by itself.
    first = wait_for(current, "a photo in the title")
    check("imported folder opened at start", first == photos[0], first)

    # In the viewer: 3 stars, 5 stars, green (a label stays on the photo), on,
    # reject, skip one, 1 star.
    marked = {}
    for key, field, value in (("3", "Rating", 3), ("5", "Rating", 5), ("8", "Label", "Green"), ("Right", None, None),
                              ("x", "Rating", -1), ("Right", None, None), ("1", "Rating", 1)):
        name = settled(current, "current photo")
        keys(key)
        if field is None:
            wait_for(lambda: current() != name, "moving on")
            continue
        sidecar = sidecar_of(folder, name)
        got = wait_for(lambda: exif(sidecar).get(field) == value, f"{field} {value} in {name}'s sidecar")
        check(f"{name}: {field} {value} read by exiftool", got)
        marked[name] = value
    screenshot(artifacts, "wine-viewer.png")
    check("non-ASCII photo name marked or listed", "Straße_fixture.jpg" in photos)

    # Back to the rejected photo in the viewer, then the grid, which starts
    # there; every thumbnail lands in the cache below %LOCALAPPDATA%.
    rejected = [name for name, value in marked.items() if value == -1][0]
    while current() != rejected:
        before = current()
        keys("Left")
        wait_for(lambda: current() != before, "moving left")
    keys("g")
    wait_for(lambda: os.path.isdir(thumbnails) and len(os.listdir(thumbnails)) >= len(photos),
             f"{len(photos)} thumbnails in {thumbnails}")
    check("thumbnail cache below %LOCALAPPDATA%", True)
    screenshot(artifacts, "wine-grid.png")

    # The rejected photo into the recycle bin.
    # Thumbnails not on screen yet are loaded first; then the question comes.
    keys("Delete")
    question = wait_for(lambda: (find_windows("^Move photos to Recycle Bin") or [None])[0],
                        "the recycle bin question")
    focus(question)
    keys("y")
    photo_path = os.path.join(folder, rejected)
    outcome = wait_for(lambda: ("moved" if not os.path.exists(photo_path) else None)
                       or ("refused" if find_windows("^Some files could not be moved") else None),
                       "the recycle bin's outcome")
    screenshot(artifacts, "wine-recycle-bin.png")
    if outcome == "moved":
        check("rejected photo left the folder with its sidecar",
              not os.path.exists(sidecar_of(folder, rejected)))
    else:
        # Wine without a working recycle bin: nothing may be lost.
        print("note  Wine refused the move to the recycle bin; the photo stayed")
        check("refused photo kept with its sidecar", os.path.exists(photo_path)
              and exif(sidecar_of(folder, rejected)).get("Rating") == -1)
        note = find_windows("^Some files could not be moved")[0]
        focus(note)
        keys("Return")
        wait_for(lambda: not find_windows("^Some files could not be moved"), "the note to close")
    # After a dialog, Wine without a window manager gives the keyboard back
    # to the main window on a click only: one on the status bar, which does nothing.
    geometry = dict(line.split("=") for line in
                    run("xdotool", "getwindowgeometry", "--shell", title_window).split() if "=" in line)
    run("xdotool", "mousemove", str(int(geometry["X"]) + 20), str(int(geometry["Y"]) + int(geometry["HEIGHT"]) - 8),
        "click", "1")
    focus(title_window)

    # Windows has no standard key for Quit (the action has none there): Alt+F4.
    keys("alt+F4")
    check_quits(app)

    for name, value in marked.items():
        if name == rejected and outcome == "moved":
            continue
        field = "Label" if value == "Green" else "Rating"
        check(f"{name} keeps {field} {value}", exif(sidecar_of(folder, name)).get(field) == value)


if __name__ == "__main__":
    sys.exit(main())
