#!/usr/bin/env python3
"""Installs the build into a scratch DESTDIR as a package would (prefix /usr)
and checks what a desktop finds there: the command, the desktop entry and the
AppStream metadata (each through its validator, and against each other), the
icons, and the documents naming the project's version.

    check_install.py BUILD_DIR VERSION INSPECT_TOOL
"""
import gzip
import os
import re
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ET

APP_ID = "net.quillmark.Glanceway"
ICON_SIZES = [16, 24, 32, 48, 64, 128, 256]
# Read by the program but not claimed as its own: the desktop's usual viewer
# keeps these.
NOT_CLAIMED = {"png", "tif", "tiff", "bmp"}
MIME_GLOBS = "/usr/share/mime/globs2"

failures = []


def check(condition, message):
    if not condition:
        failures.append(message)
    return condition


def run(command, **kwargs):
    return subprocess.run(command, capture_output=True, text=True, **kwargs)


def desktop_entry(path):
    """The [Desktop Entry] group as a dict."""
    entry, group = {}, None
    with open(path, encoding="utf-8") as f:
        for line in f:
            line = line.rstrip("\n")
            if line.startswith("["):
                group = line
            elif group == "[Desktop Entry]" and "=" in line and not line.startswith("#"):
                key, value = line.split("=", 1)
                entry[key] = value
    return entry


def mime_types_of_extensions():
    """Extension -> MIME type from shared-mime-info's simple globs."""
    types = {}
    with open(MIME_GLOBS, encoding="utf-8") as f:
        for line in f:
            parts = line.strip().split(":")
            if len(parts) >= 3 and re.fullmatch(r"\*\.[a-z0-9]+", parts[2]):
                types.setdefault(parts[2][2:], parts[1])
    return types


def installer_types():
    """The types the Windows setup program offers "Open with" for."""
    nsi = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "resources", "windows", "installer.nsi")
    with open(nsi, encoding="utf-8") as f:
        return re.findall(r'!insertmacro \$\{MACRO\} "(\.[a-z0-9]+)"', f.read())


def png_size(path):
    with open(path, "rb") as f:
        header = f.read(24)
    if not header.startswith(b"\x89PNG\r\n\x1a\n"):
        return None
    return int.from_bytes(header[16:20], "big"), int.from_bytes(header[20:24], "big")


def main():
    build, version, inspect = sys.argv[1:4]
    with tempfile.TemporaryDirectory(prefix="glanceway-install-") as destdir:
        env = dict(os.environ, DESTDIR=destdir)
        result = run(["cmake", "--install", build, "--prefix", "/usr"], env=env)
        if not check(result.returncode == 0, "cmake --install failed:\n" + result.stdout + result.stderr):
            return
        usr = os.path.join(destdir, "usr")
        installed = sorted(os.path.relpath(os.path.join(d, f), destdir)
                           for d, _, files in os.walk(destdir) for f in files)
        print("\n".join(installed))
        check(all(p.startswith("usr/") for p in installed), "files outside /usr")

        program = os.path.join(usr, "bin", "glanceway")
        check(os.access(program, os.X_OK), "usr/bin/glanceway is not an executable")
        readelf = run(["readelf", "-d", program])
        check(readelf.returncode == 0 and "RUNPATH" not in readelf.stdout and "RPATH" not in readelf.stdout,
              "the installed program searches its own library path before the system's:\n" + readelf.stdout)

        desktop_file = os.path.join(usr, "share", "applications", APP_ID + ".desktop")
        metainfo_file = os.path.join(usr, "share", "metainfo", APP_ID + ".metainfo.xml")
        if not (check(os.path.isfile(desktop_file), "no desktop entry " + desktop_file)
                and check(os.path.isfile(metainfo_file), "no metainfo " + metainfo_file)):
            return

        result = run(["desktop-file-validate", desktop_file])
        check(result.returncode == 0 and not result.stdout.strip(),
              "desktop-file-validate:\n" + result.stdout + result.stderr)
        result = run(["appstreamcli", "validate", "--no-net", "--no-color", metainfo_file])
        check(result.returncode == 0, "appstreamcli validate:\n" + result.stdout + result.stderr)

        entry = desktop_entry(desktop_file)
        check(entry.get("Exec") == "glanceway %F", "Exec is %r, not 'glanceway %%F'" % entry.get("Exec"))
        check(entry.get("Icon") == APP_ID, "Icon is %r, not the application id" % entry.get("Icon"))
        for size in ICON_SIZES:
            icon = os.path.join(usr, "share", "icons", "hicolor", "%dx%d" % (size, size), "apps", APP_ID + ".png")
            check(os.path.isfile(icon) and png_size(icon) == (size, size),
                  "no %d-pixel PNG icon at %s" % (size, icon))

        claimed = [t for t in entry.get("MimeType", "").split(";") if t]
        check(len(claimed) == len(set(claimed)), "MimeType names a type twice")
        for mime in claimed:
            check(os.path.isfile("/usr/share/mime/%s.xml" % mime), "MimeType %s is unknown to shared-mime-info" % mime)
        result = run([inspect, "formats"], env=dict(os.environ, QT_QPA_PLATFORM="offscreen"))
        extensions = re.findall(r'"([a-z0-9]+)"', result.stdout.split(":", 1)[-1])
        if check(result.returncode == 0 and extensions, "glanceway-inspect formats:\n" + result.stdout + result.stderr):
            by_extension = mime_types_of_extensions()
            for extension in extensions:
                if extension in NOT_CLAIMED:
                    continue
                mime = by_extension.get(extension)
                if mime is None or not mime.startswith("image/"):
                    # No photo type of its own on this system (.3fr, .iiq), or the
                    # type of something else (.cap is a network capture's too).
                    continue
                check(mime in claimed, "the program reads .%s (%s) but the desktop entry does not claim it"
                      % (extension, mime))
            offered = installer_types()
            check(sorted(offered) == sorted("." + e for e in extensions if e not in NOT_CLAIMED),
                  "the Windows installer offers %s, the program reads %s" % (offered, extensions))

        component = ET.parse(metainfo_file).getroot()
        check(component.findtext("id") == APP_ID, "metainfo id is not " + APP_ID)
        launchable = component.find("launchable[@type='desktop-id']")
        check(launchable is not None and launchable.text == os.path.basename(desktop_file),
              "metainfo launchable does not name the installed desktop entry")
        check(component.findtext("provides/binary") == "glanceway", "metainfo provides no binary glanceway")
        provided = [m.text for m in component.findall("provides/mediatype")]
        check(sorted(provided) == sorted(claimed),
              "metainfo mediatypes %s differ from the desktop MimeType %s" % (provided, claimed))
        check(all(s.find("caption") is not None for s in component.findall("screenshots/screenshot")),
              "a screenshot without a caption")
        releases = [r.get("version") for r in component.findall("releases/release")]
        check(releases[:1] == [version], "newest release in metainfo is %s, the project is %s" % (releases[:1], version))

        doc = os.path.join(usr, "share", "doc", "glanceway")
        check(os.path.isfile(os.path.join(doc, "copyright")), "no copyright file")
        with gzip.open(os.path.join(doc, "changelog.gz"), "rt", encoding="utf-8") as f:
            first = f.readline()
        check(first.startswith("glanceway (%s)" % version), "changelog starts with %r" % first)
        with gzip.open(os.path.join(usr, "share", "man", "man1", "glanceway.1.gz"), "rt", encoding="utf-8") as f:
            header = f.readline()
        check('"Glanceway %s"' % version in header, "manual page header is %r" % header)


if __name__ == "__main__":
    main()
    for failure in failures:
        print("FAIL: " + failure, file=sys.stderr)
    sys.exit(1 if failures else 0)
