#!/usr/bin/env python3
"""The setup program under Wine, as an administrator and a user meet it.

Installs dist/Glanceway-<version>-setup.exe silently for the current user and
checks what Windows would show of it: the files (exactly those of the deployed
folder), the Start menu shortcut, the "Apps & features" entry, Explorer's
"Open with" for photos and the folder entry "Cull with Glanceway", with nothing
written for all users and no default program taken over. The installed program
is then started on a folder through the folder entry's command line, and on the
Canon 30D RAW (whose embedded preview is half its sensor) through "Open with",
at 100 %. An upgrade over the installation keeps the settings; the uninstaller
leaves nothing of the program and keeps settings, thumbnail cache and sidecars.
Last, the same for all users (/AllUsers), which Wine grants as administrator.

Runs with the environment of wintest.sh (WINEPREFIX and friends) on the X server
of the caller.
"""

import argparse
import glob
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

import wine_session as ws
from wine_session import check, run, wait_for, windows_path, windows_to_unix

APPKEY = "Quillmark.Glanceway"
PROGID = "Quillmark.Glanceway.Photo"
UNINSTALL = r"Software\Microsoft\Windows\CurrentVersion\Uninstall" + "\\" + APPKEY
APP_PATHS = r"Software\Microsoft\Windows\CurrentVersion\App Paths\Glanceway.exe"
CLASSES = r"Software\Classes"
SETTINGS = r"HKCU\Software\Quillmark\Glanceway"
RAW_SAMPLE = "/usr/share/doc/rawtran/IMG_5952.CR2"
ROOTS = {"HKCU": "HKEY_CURRENT_USER", "HKLM": "HKEY_LOCAL_MACHINE", "HKCR": "HKEY_CLASSES_ROOT"}


def installer_types():
    """The types the setup program offers "Open with" for, as its ForEachType lists them."""
    nsi = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "resources", "windows", "installer.nsi")
    with open(nsi, encoding="utf-8") as f:
        return re.findall(r'!insertmacro \$\{MACRO\} "(\.[a-z0-9]+)"', f.read())


TYPES = installer_types()


def reg_export(key):
    """Every key at and below `key` as {full key name (lower case): {value name: data}}.

    Through `wine reg export`, whose file is UTF-16. Missing keys give {}."""
    handle, exported = tempfile.mkstemp(suffix=".reg")
    os.close(handle)
    os.remove(exported)
    result = subprocess.run(["wine", "reg", "export", key, windows_path(exported), "/y"], capture_output=True)
    if result.returncode != 0 or not os.path.exists(exported):
        return {}
    with open(exported, encoding="utf-16") as handle:
        text = handle.read()
    os.remove(exported)
    keys, current = {}, None
    for line in text.splitlines():
        if line.startswith("["):
            current = keys.setdefault(line.strip("[]").lower(), {})
            continue
        match = re.match(r'^(@|"((?:[^"\\]|\\.)*)")=(.*)$', line)
        if current is None or not match:
            continue
        name = "" if match.group(1) == "@" else re.sub(r"\\(.)", r"\1", match.group(2))
        data = match.group(3)
        if data.startswith('"'):
            data = re.sub(r"\\(.)", r"\1", data[1:-1])
        elif data.startswith("dword:"):
            data = int(data[6:], 16)
        current[name] = data
    return keys


def full_name(key):
    root, _, rest = key.partition("\\")
    return (ROOTS.get(root.upper(), root) + "\\" + rest).lower()


def values(key):
    """The values of one key, or None when it does not exist."""
    return reg_export(key).get(full_name(key))


def windows_argv(command):
    """The arguments a program gets from a Windows command line: Qt and the C
    runtime split it by CommandLineToArgvW's rules, where a backslash before a
    quote escapes it."""
    args, i, n = [], 0, len(command)
    while i < n:
        while i < n and command[i] in " \t":
            i += 1
        if i >= n:
            break
        arg, quoted = "", False
        while i < n and (quoted or command[i] not in " \t"):
            if command[i] == "\\":
                j = i
                while j < n and command[j] == "\\":
                    j += 1
                if j < n and command[j] == '"':
                    arg += "\\" * ((j - i) // 2)
                    if (j - i) % 2:
                        arg += '"'
                        j += 1
                else:
                    arg += "\\" * (j - i)
                i = j
            elif command[i] == '"':
                if quoted and i + 1 < n and command[i + 1] == '"':
                    arg += '"'
                    i += 2
                else:
                    quoted = not quoted
                    i += 1
            else:
                arg += command[i]
                i += 1
        args.append(arg)
    return args


def command_line(template, argument):
    """A shell command as Explorer runs it: %1 / %V filled in the registered
    command line, which is then split as the program splits it."""
    return windows_argv(template.replace("%1", argument).replace("%V", argument).replace("%v", argument))


def deployed_files(stage):
    return sorted(os.path.relpath(os.path.join(d, f), stage).replace("/", "\\").lower()
                  for d, _, files in os.walk(stage) for f in files)


def installed_files(folder):
    return sorted(os.path.relpath(os.path.join(d, f), folder).replace("/", "\\").lower()
                  for d, _, files in os.walk(folder) for f in files)


def wine_env(name):
    return run("wine", "cmd", "/c", "echo", f"%{name}%").strip()


def program_leftovers(root):
    """Keys and values anywhere under `root` that name the program or its classes."""
    found = []
    for key, vals in reg_export(root).items():
        if key.startswith(full_name(SETTINGS)):
            continue
        texts = [key] + [f"{name}={data}" for name, data in vals.items()]
        found += [t for t in texts if re.search(r"glanceway", t, re.I)]
    return found


class Installation:
    def __init__(self, all_users):
        self.all_users = all_users
        self.root = "HKLM" if all_users else "HKCU"
        self.other_root = "HKCU" if all_users else "HKLM"

    def key(self, path):
        return f"{self.root}\\{path}"


def install(setup, mode_args):
    result = subprocess.run(["wine", setup, "/S", *mode_args], capture_output=True)
    return result.returncode


def check_installed(inst, setup, stage, version, folder_win):
    folder = windows_to_unix(folder_win)
    expected = deployed_files(stage) + ["uninstall.exe"]
    got = installed_files(folder) if os.path.isdir(folder) else []
    check(f"every deployed file installed in {folder_win}", sorted(expected) == got,
          f"missing {sorted(set(expected) - set(got))[:5]}, extra {sorted(set(got) - set(expected))[:5]}")
    same = all(os.path.getsize(os.path.join(stage, f.replace("\\", "/"))) ==
               os.path.getsize(os.path.join(folder, f.replace("\\", "/")))
               for f in deployed_files(stage) if os.path.exists(os.path.join(folder, f.replace("\\", "/"))))
    check("installed files are the deployed ones", same)

    programs = windows_to_unix(wine_env("PROGRAMDATA" if inst.all_users else "APPDATA"))
    shortcut = os.path.join(programs, "Microsoft", "Windows", "Start Menu", "Programs", "Glanceway.lnk")
    check("Start menu shortcut", os.path.exists(shortcut), shortcut)

    uninstall = values(inst.key(UNINSTALL)) or {}
    exe = folder_win + "\\Glanceway.exe"
    uninstaller = folder_win + "\\Uninstall.exe"
    print(f"      {inst.root}\\{UNINSTALL}: {uninstall}")
    check("uninstall entry: name", uninstall.get("DisplayName") == "Quillmark Glanceway")
    check("uninstall entry: version", uninstall.get("DisplayVersion") == version)
    check("uninstall entry: publisher", uninstall.get("Publisher") == "Quillmark")
    check("uninstall entry: icon", uninstall.get("DisplayIcon", "").lower() == f'"{exe}",0'.lower())
    size_kb = sum(os.path.getsize(os.path.join(d, f)) for d, _, fs in os.walk(folder) for f in fs) // 1024
    check("uninstall entry: size", abs(uninstall.get("EstimatedSize", 0) - size_kb) <= max(64, size_kb // 50),
          f"{uninstall.get('EstimatedSize')} KB against {size_kb} KB")
    check("uninstall entry: uninstaller", uninstall.get("UninstallString", "").lower() == f'"{uninstaller}"'.lower())
    check("uninstall entry: silent uninstaller",
          uninstall.get("QuietUninstallString", "").lower() == f'"{uninstaller}" /s'.lower())
    check(f"nothing registered under {inst.other_root}", values(f"{inst.other_root}\\{UNINSTALL}") is None)

    open_command = f'"{exe}" "%1"'.lower()
    app = reg_export(inst.key(CLASSES + r"\Applications\Glanceway.exe"))
    app_key = full_name(inst.key(CLASSES + r"\Applications\Glanceway.exe"))
    supported = set(app.get(app_key + r"\supportedtypes", {}))
    check("Open with: supported types", supported == set(TYPES), str(sorted(supported)))
    check("Open with: command", app.get(app_key + r"\shell\open\command", {}).get("", "").lower() == open_command)
    progid = reg_export(inst.key(f"{CLASSES}\\{PROGID}"))
    check("Open with: file type command",
          progid.get(full_name(inst.key(f"{CLASSES}\\{PROGID}\\shell\\open\\command")), {}).get("", "").lower()
          == open_command)
    offered = [t for t in TYPES if PROGID in (values(inst.key(f"{CLASSES}\\{t}\\OpenWithProgids")) or {})]
    check("Open with: offered for every type", offered == TYPES, str(offered))

    folder_entry = reg_export(inst.key(CLASSES + r"\Directory\shell" + "\\" + APPKEY))
    entry_key = full_name(inst.key(CLASSES + r"\Directory\shell" + "\\" + APPKEY))
    check('folder entry "Cull with Glanceway"', folder_entry.get(entry_key, {}).get("") == "Cull with Glanceway")
    folder_command = folder_entry.get(entry_key + r"\command", {}).get("", "")
    check("folder entry command", folder_command.lower() == open_command, folder_command)
    background = values(inst.key(CLASSES + r"\Directory\Background\shell" + "\\" + APPKEY + r"\command")) or {}
    check("folder background entry command", background.get("", "").lower() == f'"{exe}" "%v"'.lower())
    return folder_command


def check_removed(inst, folder_win, kept):
    folder = windows_to_unix(folder_win)
    check("program folder removed", not os.path.exists(folder),
          str(installed_files(folder)[:5]) if os.path.exists(folder) else "")
    programs = windows_to_unix(wine_env("PROGRAMDATA" if inst.all_users else "APPDATA"))
    check("Start menu shortcut removed", not os.path.exists(
        os.path.join(programs, "Microsoft", "Windows", "Start Menu", "Programs", "Glanceway.lnk")))
    for root in ("HKCU", "HKLM"):
        left = program_leftovers(f"{root}\\Software")
        check(f"nothing of the program left under {root}\\Software", not left, str(left[:5]))
    check("settings kept", values(SETTINGS) is not None)
    for what, path in kept:
        check(f"{what} kept", os.path.exists(path), path)


def uninstall(inst, folder_win):
    """Runs the registered silent uninstaller and waits until it is done (it
    starts a copy of itself from the temporary folder and returns at once)."""
    quiet = (values(inst.key(UNINSTALL)) or {}).get("QuietUninstallString", "")
    if not check("silent uninstaller registered", bool(quiet)):
        return
    subprocess.run(["wine", *command_line(quiet, "")], capture_output=True)
    folder = windows_to_unix(folder_win)
    try:
        wait_for(lambda: not os.path.exists(folder) and values(inst.key(UNINSTALL)) is None, "the uninstaller")
    except TimeoutError:
        pass
    subprocess.run(["wineserver", "-w"], capture_output=True, timeout=120)


def drive_for(folder):
    """A free drive letter that shows `folder` as its root, like a memory card."""
    devices = os.path.join(os.environ["WINEPREFIX"], "dosdevices")
    for letter in "pqrstuvw":
        link = os.path.join(devices, letter + ":")
        if not os.path.lexists(link):
            os.symlink(folder, link)
            return letter.upper() + ":"
    check("a free drive letter for the drive root", False)
    return None


def start_on(command, argument, expect_title, artifacts, shot):
    """Starts the installed program with a registered command line; returns the
    process and its main window once the title names `expect_title`."""
    argv = command_line(command, argument)
    app = subprocess.Popen(["wine", *argv], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    window = None
    try:
        window = wait_for(lambda: next((w for w in ws.find_windows("Quillmark Glanceway")
                                        if re.match(expect_title, ws.window_name(w))), None),
                          f"a window titled {expect_title}")
        check(f"started through the command line on {argument}", True)
    except TimeoutError as error:
        check(f"started through the command line on {argument}", False, str(error))
        print("      windows shown:", [ws.window_name(w) for w in ws.find_windows(".")])
    ws.screenshot(artifacts, shot)
    return app, window


def quit_program(app, window):
    if window:
        ws.focus(window)
        ws.keys("alt+F4")
    ws.check_quits(app)


def detail(image, geometry=None):
    """Standard deviation of the Laplacian of an image's grey values (optionally
    a crop): how much pixel-level detail it holds."""
    args = ["convert", image]
    if geometry:
        args += ["-crop", geometry, "+repage"]
    args += ["-colorspace", "gray", "-define", "convolve:scale=!", "-morphology", "Convolve", "Laplacian:0",
             "-format", "%[fx:standard_deviation]", "info:"]
    return float(run(*args))


def raw_at_full_size(command, artifacts, inspect):
    """The 30D RAW opened through "Open with" and shown at 100 % from its sensor data."""
    if not os.path.exists(RAW_SAMPLE):
        check(f"{RAW_SAMPLE} present (Debian package rawtran-doc)", False)
        return
    folder = os.path.join(artifacts, "..", "session-raw")
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    raw = os.path.join(folder, os.path.basename(RAW_SAMPLE))
    shutil.copy(RAW_SAMPLE, raw)

    # What the Windows build's LibRaw makes of the file, as 100 % shows it.
    rendered = os.path.join(folder, "full.png")
    if inspect and os.path.exists(inspect):
        env = dict(os.environ, WINEPATH=os.environ.get("GLANCEWAY_BUILD_WINEPATH", ""), QT_QPA_PLATFORM="offscreen")
        wine_run = os.path.join(os.path.dirname(os.path.abspath(__file__)), "wine-run.sh")
        subprocess.run(["sh", wine_run, inspect, "render", "--full", windows_path(raw), windows_path(rendered)],
                       capture_output=True, timeout=300, env=env)
    size = run("identify", "-format", "%w %h", rendered, check_exit=False).split() if os.path.exists(rendered) else []
    check("glanceway-inspect render --full gives sensor pixels under Wine",
          len(size) == 2 and max(map(int, size)) >= 3500, " x ".join(size) or "no image")

    app, window = start_on(command, windows_path(raw), r"IMG_5952\.CR2 ", artifacts, "wine-raw-fit.png")
    if not window:
        app.kill()
        return
    ws.focus(window)
    ws.keys("ctrl+1")
    # The render runs in the background; the enlarged preview shows meanwhile.
    time.sleep(20)
    shot = os.path.join(artifacts, "wine-raw-100.png")
    subprocess.run(["import", "-window", "root", shot], capture_output=True)
    geometry = dict(line.split("=") for line in run("xdotool", "getwindowgeometry", "--shell", window).split()
                    if "=" in line)
    x, y, w, h = (int(geometry[k]) for k in ("X", "Y", "WIDTH", "HEIGHT"))
    crop = f"400x300+{x + w // 2 - 200}+{y + h // 2 - 150}"
    shown = detail(shot, crop)
    # The same area's detail in the embedded preview enlarged to the sensor's
    # size: what 100 % would show without the sensor data.
    preview = os.path.join(folder, "preview.jpg")
    with open(preview, "wb") as out:
        subprocess.run(["exiftool", "-b", "-PreviewImage", raw], stdout=out)
    enlarged = os.path.join(folder, "preview-enlarged.png")
    if len(size) == 2:
        run("convert", preview, "-resize", f"{size[0]}x{size[1]}!", "-gravity", "center", "-crop", "400x300+0+0",
            "+repage", enlarged)
        sensor = detail(rendered, f"400x300+{int(size[0]) // 2 - 200}+{int(size[1]) // 2 - 150}")
        blurred = detail(enlarged)
        print(f"      detail at 100 %: shown {shown:.4f}, sensor render {sensor:.4f}, enlarged preview {blurred:.4f}")
        check("100 % shows the sensor's detail, not the enlarged preview",
              abs(shown - sensor) < abs(shown - blurred), f"{shown:.4f}")
    quit_program(app, window)


def session(args, inst, setup, stage, version):
    artifacts = os.path.join(args.build, "artifacts")
    os.makedirs(artifacts, exist_ok=True)
    mode = ["/AllUsers"] if inst.all_users else []
    label = "all users" if inst.all_users else "the current user"
    print(f"== Installing for {label}")

    if inst.all_users:
        folder_win = wine_env("ProgramW6432") + "\\Glanceway"
    else:
        folder_win = wine_env("LOCALAPPDATA") + "\\Programs\\Glanceway"
    default_jpg = values(r"HKCR\.jpg")

    code = install(setup, mode)
    check(f"silent install for {label} succeeded", code == 0, f"exit code {code}")
    command = check_installed(inst, setup, stage, version, folder_win)
    check("the default program for .jpg is unchanged", (values(r"HKCR\.jpg") or {}).get("") == (default_jpg or {}).get(""))

    photo_folder = cache = None
    if not inst.all_users:
        # The folder entry opens a folder of photos; a mark typed there lands in a sidecar.
        photo_folder = os.path.join(args.build, "session-install", "Shoot 2026 – Überprüfung")
        shutil.rmtree(os.path.dirname(photo_folder), ignore_errors=True)
        os.makedirs(photo_folder)
        cameras = os.path.join(args.repo, "tests", "data", "cameras")
        photos = sorted(os.listdir(cameras))[:4]
        for name in photos:
            shutil.copy(os.path.join(cameras, name), photo_folder)
        local = windows_to_unix(wine_env("LOCALAPPDATA"))
        cache = os.path.join(local, "Quillmark", "Glanceway", "cache")
        pattern = "(" + "|".join(re.escape(p) for p in photos) + ") "
        app, window = start_on(command, windows_path(photo_folder), pattern, artifacts, "wine-folder-entry.png")
        if window:
            ws.focus(window)
            name = ws.window_name(window).split(" ")[0]
            ws.keys("3")
            try:
                wait_for(lambda: ws.exif(ws.sidecar_of(photo_folder, name)).get("Rating") == 3, "a sidecar")
            except TimeoutError:
                pass
            check("a mark typed in the installed program lands in a sidecar",
                  ws.exif(ws.sidecar_of(photo_folder, name)).get("Rating") == 3)
        quit_program(app, window)

        # The entry on a folder's background, in a drive's root: Explorer
        # fills in "%V" as D:\, whose backslash escapes the closing quote.
        background = (values(inst.key(CLASSES + r"\Directory\Background\shell" + "\\" + APPKEY + r"\command"))
                      or {}).get("", "")
        drive = drive_for(photo_folder)
        if drive:
            app, window = start_on(background, drive + "\\", pattern, artifacts, "wine-drive-root.png")
            quit_program(app, window)
            os.remove(os.path.join(os.environ["WINEPREFIX"], "dosdevices", drive.lower()))

        app_command = (values(inst.key(CLASSES + r"\Applications\Glanceway.exe\shell\open\command")) or {}).get("", "")
        raw_at_full_size(app_command, artifacts, args.inspect)

        # An upgrade over this installation keeps the settings.
        ws.reg("add", SETTINGS, "/v", "upgradeMarker", "/t", "REG_SZ", "/d", "kept", "/f")
        code = install(setup, mode)
        check("silent upgrade succeeded", code == 0, f"exit code {code}")
        check("upgrade keeps the settings", (values(SETTINGS) or {}).get("upgradeMarker") == "kept")
        check("upgrade leaves one installation", installed_files(windows_to_unix(folder_win)) ==
              sorted(deployed_files(stage) + ["uninstall.exe"]))
    else:
        ws.reg("add", SETTINGS, "/v", "upgradeMarker", "/t", "REG_SZ", "/d", "kept", "/f")

    # What the program wrote is the user's and must outlive it.
    kept = []
    if photo_folder:
        kept += [("sidecar", p) for p in glob.glob(os.path.join(photo_folder, "*.xmp"))]
    if cache and os.path.isdir(cache):
        kept.append(("thumbnail cache", cache))
    print(f"== Uninstalling for {label}")
    uninstall(inst, folder_win)
    check_removed(inst, folder_win, kept)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--repo", required=True)
    parser.add_argument("--build", required=True)
    parser.add_argument("--setup", help="the setup program (default: the newest in dist/)")
    parser.add_argument("--stage", help="the deployed folder the setup was made from")
    parser.add_argument("--inspect", help="glanceway-inspect.exe of the same build")
    args = parser.parse_args()

    setups = sorted(glob.glob(os.path.join(args.repo, "dist", "Glanceway-*-setup.exe")))
    setup = args.setup or (setups[-1] if setups else None)
    if not setup:
        sys.exit("no dist/Glanceway-*-setup.exe; run make windows first")
    version = re.search(r"Glanceway-([0-9.]+)-setup\.exe$", setup).group(1)
    stage = args.stage or os.path.join(args.build, "package", f"Glanceway-{version}-win64")

    manifest = run("wrestool", "-x", "--raw", "--type=24", setup, check_exit=False)
    check("setup runs without elevation (asInvoker)", 'level="asInvoker"' in manifest)

    for key in (SETTINGS,):
        subprocess.run(["wine", "reg", "delete", key, "/f"], capture_output=True)
    session(args, Installation(all_users=False), setup, stage, version)
    session(args, Installation(all_users=True), setup, stage, version)

    print(f"{len(ws.failures)} failed" if ws.failures else "installer checks passed")
    return 1 if ws.failures else 0


if __name__ == "__main__":
    sys.exit(main())
