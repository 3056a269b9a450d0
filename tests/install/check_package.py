#!/usr/bin/env python3
"""Builds the Debian package with CPack into a scratch folder and checks it as
the archive would: its control fields, its file list and lintian, which must
report no error.

    check_package.py BUILD_DIR VERSION
"""
import os
import re
import subprocess
import sys
import tempfile

failures = []


def check(condition, message):
    if not condition:
        failures.append(message)
    return condition


def run(command, **kwargs):
    return subprocess.run(command, capture_output=True, text=True, **kwargs)


def main():
    build, version = sys.argv[1:3]
    arch = run(["dpkg", "--print-architecture"]).stdout.strip()
    with tempfile.TemporaryDirectory(prefix="glanceway-package-") as out:
        result = run(["cpack", "-G", "DEB", "--config", os.path.join(build, "CPackConfig.cmake"), "-B", out])
        name = "glanceway_%s_%s.deb" % (version, arch)
        deb = os.path.join(out, name)
        if not check(result.returncode == 0 and os.path.isfile(deb),
                     "cpack made no %s:\n%s%s" % (name, result.stdout, result.stderr)):
            return
        print("%s: %d bytes" % (name, os.path.getsize(deb)))

        fields = {}
        for field in ("Package", "Version", "Architecture", "Section", "Maintainer", "Depends", "Description"):
            fields[field] = run(["dpkg-deb", "--field", deb, field]).stdout.strip()
            print("%s: %s" % (field, fields[field].splitlines()[0] if fields[field] else ""))
        check(fields["Package"] == "glanceway", "package name " + fields["Package"])
        check(fields["Version"] == version, "package version " + fields["Version"])
        check(fields["Section"] == "graphics", "section " + fields["Section"])
        check("@" in fields["Maintainer"], "maintainer without an address: " + fields["Maintainer"])
        depends = {re.split(r"[ (]", d.strip())[0] for d in re.split(r"[,|]", fields["Depends"]) if d.strip()}
        # dpkg-shlibdeps must have found the libraries the program links, and
        # the plug-ins it loads at run time are named by hand.
        for package in ("libc6", "libqt6core6", "libqt6gui6", "libqt6widgets6", "qt6-image-formats-plugins"):
            check(package in depends, "Depends lacks %s: %s" % (package, fields["Depends"]))

        listing = run(["dpkg-deb", "--contents", deb]).stdout.splitlines()
        files = [line.split()[-1] for line in listing]
        check(all(line.split()[1] == "root/root" for line in listing), "files not owned by root")
        check(all(f.startswith("./usr/") or f == "./" for f in files), "files outside /usr")
        for wanted in ("./usr/bin/glanceway", "./usr/share/applications/net.quillmark.Glanceway.desktop",
                       "./usr/share/metainfo/net.quillmark.Glanceway.metainfo.xml",
                       "./usr/share/doc/glanceway/copyright"):
            check(wanted in files, "the package lacks " + wanted)

        # Lintian's own exit status follows --fail-on; the tags are printed for the log.
        result = run(["lintian", "--fail-on", "error", "--tag-display-limit", "0", deb],
                     env=dict(os.environ, LC_ALL="C.UTF-8"))
        print("lintian:\n" + (result.stdout or "(nothing)") + result.stderr)
        errors = [line for line in result.stdout.splitlines() if line.startswith("E:")]
        check(result.returncode == 0 and not errors, "lintian reports errors:\n" + "\n".join(errors))


if __name__ == "__main__":
    main()
    for failure in failures:
        print("FAIL: " + failure, file=sys.stderr)
    sys.exit(1 if failures else 0)
