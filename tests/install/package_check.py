# SPDX-License-Identifier: GPL-2.0-or-later
# Copyright (C) 2026 the Dayspinner authors
"""The Debian package from end to end: build it, check it with lintian, install
it, run and dock the installed program, remove it again.

    package_check.py check  BUILD_DIR VERSION   the whole run
    package_check.py remove BUILD_DIR           removes what a check left installed

As root, and only when no dayspinner package is installed already, the package
is installed with apt-get into this machine; a marker file in the work folder
records that, so that `remove` (CTest runs it after the check, also after a
failure or a time-out) takes it out again. Otherwise the package is unpacked
with dpkg -x and run from there.
"""

import os
import pathlib
import re
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent.parent / "e2e"))
import harness  # noqa: E402

PACKAGE = "dayspinner"


def run(argv, **kw):
    """Runs a command, echoing it; returns the completed process (text output)."""
    print("$ " + " ".join(str(a) for a in argv), flush=True)
    kw.setdefault("stdin", subprocess.DEVNULL)
    return subprocess.run([str(a) for a in argv], capture_output=True, text=True, **kw)


def must(argv, **kw):
    result = run(argv, **kw)
    if result.returncode != 0:
        raise AssertionError("%s failed (%d):\n%s%s" % (argv[0], result.returncode,
                                                       result.stdout, result.stderr))
    return result


def expect(condition, message):
    if not condition:
        raise AssertionError(message)


def installed_version():
    """The version of the installed package, or None."""
    result = run(["dpkg-query", "-W", "-f=${db:Status-Abbrev}${Version}", PACKAGE])
    if result.returncode != 0 or not result.stdout.startswith("ii"):
        return None
    return result.stdout[2:].strip()


def work_dir(build):
    return pathlib.Path(build) / "package-test"


def build_package(work, version):
    work.mkdir(exist_ok=True)
    for old in work.iterdir():
        if old.name != "installed":  # a marker left for the removal is kept
            shutil.rmtree(old) if old.is_dir() else old.unlink()
    must(["cpack", "--config", pathlib.Path(work.parent) / "CPackConfig.cmake", "-B", work])
    arch = must(["dpkg", "--print-architecture"]).stdout.strip()
    deb = work / ("%s_%s_%s.deb" % (PACKAGE, version, arch))
    expect(deb.is_file(), "no %s among %s" % (deb.name, sorted(p.name for p in work.iterdir())))
    return deb


def check_control(deb, version):
    field = lambda name: must(["dpkg-deb", "-f", deb, name]).stdout.strip()
    expect(field("Package") == PACKAGE and field("Version") == version, "name or version")
    section = field("Section")
    expect(section == "x11", "section: " + section)
    # Computed from the program's libraries, so the libraries it links appear.
    depends = field("Depends")
    for library in ("libc6", "libx11-6", "libxext6", "libxpm4", "libgtk2.0-0", "libical3"):
        expect(library in depends, "Depends lacks %s: %s" % (library, depends))
    # The application button's default command, and nothing else beside the libraries.
    relations = {name: field(name) for name in ("Suggests", "Recommends", "Conflicts", "Breaks")}
    expect(relations == {"Suggests": "evolution", "Recommends": "", "Conflicts": "",
                         "Breaks": ""}, "relations: %r" % relations)
    expect("<" in field("Maintainer") and field("Maintainer").endswith(">"),
           "maintainer: " + field("Maintainer"))
    lines = field("Description").splitlines()
    expect(len(lines) >= 3 and lines[0], "no short and long description: %r" % lines)
    files = set(must(["dpkg-deb", "-c", deb]).stdout.split())
    for path in ("./usr/bin/dayspinner", "./usr/libexec/dayspinner/dayspinner-engine",
                 "./usr/share/man/man1/dayspinner.1.gz",
                 "./usr/share/doc/dayspinner/copyright",
                 "./usr/share/doc/dayspinner/changelog.gz", "./usr/share/menu/dayspinner",
                 "./usr/share/locale/fa/LC_MESSAGES/dayspinner.mo",
                 "./usr/share/locale/ar/LC_MESSAGES/dayspinner.mo"):
        expect(path in files, "the package lacks " + path)


def paragraphs(text):
    """The paragraphs of a Debian control-style text, as dicts of field to value;
    continuation lines are kept with their leading space."""
    result = []
    for block in text.strip("\n").split("\n\n"):
        fields, name = {}, None
        for line in block.splitlines():
            if line[:1] in (" ", "\t") and name:
                fields[name] += "\n" + line
            else:
                name, _, value = line.partition(":")
                expect(_ and name and " " not in name, "not a field line: %r" % line)
                expect(name not in fields, "field %s twice" % name)
                fields[name] = value.strip()
        result.append(fields)
    return result


def check_copyright(text):
    """The machine-readable format: a header, all files under GPL-2+, and the
    licence's short text pointing at Debian's copy of the GPL version 2."""
    header, *rest = paragraphs(text)
    expect(header.get("Format") ==
           "https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/",
           "copyright Format: %r" % header.get("Format"))
    expect(header.get("Upstream-Name") == "Dayspinner", "Upstream-Name: %r" % header)
    files = [p for p in rest if "Files" in p]
    expect([p["Files"] for p in files] == ["*"], "Files paragraphs: %r" % files)
    expect("Dayspinner authors" in files[0].get("Copyright", ""), "Copyright: %r" % files[0])
    expect(files[0].get("License") == "GPL-2+", "License of *: %r" % files[0].get("License"))
    licences = [p for p in rest if "Files" not in p]
    expect(len(licences) == 1 and licences[0]["License"].startswith("GPL-2+\n"),
           "licence paragraphs: %r" % licences)
    body = " ".join(licences[0]["License"].split())
    for words in ("either version 2 of the License, or (at your option) any later version",
                  "WITHOUT ANY WARRANTY", "/usr/share/common-licenses/GPL-2"):
        expect(words in body, "the licence text lacks %r" % words)


def check_menu(text):
    """One entry for X11 in the Applications section that starts the installed program."""
    entries = [line for line in text.splitlines() if line.strip() and not line.startswith("#")]
    expect(len(entries) == 1 and entries[0].startswith("?package(dayspinner):"),
           "menu entries: %r" % entries)
    pairs = dict(re.findall(r'(\w+)="([^"]*)"', entries[0]))
    expect(pairs.get("needs") == "X11" and pairs.get("section", "").startswith("Applications/")
           and pairs.get("title") == "Dayspinner" and pairs.get("command") == "/usr/bin/dayspinner",
           "menu entry: %r" % pairs)


def check_files(deb, work):
    contents = work / "contents"
    must(["dpkg-deb", "-x", deb, contents])
    check_copyright((contents / "usr/share/doc/dayspinner/copyright").read_text())
    check_menu((contents / "usr/share/menu/dayspinner").read_text())


def check_lintian(deb):
    """No error, warning or pedantic tag; the informational ones are shown."""
    result = run(["lintian", "--pedantic", "--display-info", "--fail-on", "error,warning,pedantic",
                  deb])
    print(result.stdout + result.stderr, flush=True)
    tags = [line for line in result.stdout.splitlines() if line[:2] in ("E:", "W:", "P:")]
    expect(result.returncode == 0 and not tags, "lintian reports:\n" + "\n".join(tags))


def install(deb, work):
    """Installs or unpacks the package; returns the root its files are under."""
    if os.geteuid() == 0 and installed_version() is None:
        (work / "installed").write_text(PACKAGE + "\n")
        env = dict(os.environ, DEBIAN_FRONTEND="noninteractive")
        must(["apt-get", "-o", "DPkg::Lock::Timeout=90", "install", "-y", "--no-install-recommends", "./" + deb.name],
             cwd=work, env=env)
        expect(installed_version() is not None, "apt-get did not install the package")
        return pathlib.Path("/")
    print("not installing into this machine (not root, or a dayspinner package is there):"
          " unpacking with dpkg -x", flush=True)
    root = work / "root"
    must(["dpkg", "-x", deb, root])
    return root


def check_installed(root, version):
    program = root / "usr/bin/dayspinner"
    page = root / "usr/share/man/man1/dayspinner.1.gz"
    with tempfile.TemporaryDirectory() as home:
        result = run([program, "--version"], env=dict(os.environ, HOME=home))
    # A first run also reports the settings file it created; the banner ends the output.
    expect(result.returncode == 1 and result.stdout.endswith("\nDayspinner %s\n" % version),
           "installed program: %r" % result)
    env = dict(os.environ)
    if root != pathlib.Path("/"):
        env["MANPATH"] = str(root / "usr/share/man")
    found = must(["man", "-w", "dayspinner"], env=env).stdout.strip()
    expect(found == str(page), "man -w found %r, not %s" % (found, page))
    shown = must(["man", "-l", page], env=dict(env, MANWIDTH="80")).stdout
    expect("STARTOFWEEK" in shown, "the installed page lacks the settings keys")
    expect("Dayspinner " + version in shown, "the manual page names another version")
    return program


def check_docks(program, version):
    os.environ["DAYSPINNER_BINARY"] = str(program)
    settings = ("APP=true\nICON=evolution\nLANG=default\nVERSION=%s\nSTARTOFWEEK=7\n" % version)
    # One event: the installed tile finds its installed engine and marks the day.
    calendar = ("BEGIN:VCALENDAR\r\nVERSION:2.0\r\nBEGIN:VEVENT\r\nUID:a\r\n"
                "DTSTART;VALUE=DATE:20260315\r\nSUMMARY:a\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n")
    with harness.Session(settings=settings, calendar=calendar) as session:
        (session.home / harness.SETTINGS_NAME).write_text(
            settings + "ICS=%s\n" % (session.home / harness.CALENDAR_PATH))
        tile = session.start_tile(["-d"], date="2026-03-10 12:00:00")
        tile.wait_shown(lambda s: s.busy == {15} and s.pending == 0, timeout=20)
        g = tile.geometry
        expect((g["width"], g["height"]) == (64, 64), "tile geometry %r" % g)
        expect(g["parent"] != g["root"], "the tile was not taken into the dock")
        expect((g["x"], g["y"]) == (1024 - 64, 64), "not in the dock slot: %r" % g)
        status = tile.close_and_wait()
        expect(status == 0, "closed with status %r: %s" % (status, tile.stderr()))
        expect(tile.stderr() == "", "stderr: " + tile.stderr())
    print("installed program docked: %s at %d,%d" % (program, g["x"], g["y"]), flush=True)


def remove(work):
    """Purges the package when the check installed it; True when nothing is left."""
    marker = work / "installed"
    if not marker.exists():
        return True
    if installed_version() is not None:
        # An install cut short can leave its apt-get running a while: wait for its lock.
        result = run(["apt-get", "-o", "DPkg::Lock::Timeout=90", "purge", "-y", PACKAGE],
                     env=dict(os.environ, DEBIAN_FRONTEND="noninteractive"))
        if result.returncode != 0:
            print(result.stdout + result.stderr, flush=True)
    left = installed_version() is not None or pathlib.Path("/usr/bin/dayspinner").exists()
    if not left:
        marker.unlink()
    return not left


def check(build, version):
    work = work_dir(build)
    deb = build_package(work, version)
    check_control(deb, version)
    check_files(deb, work)
    check_lintian(deb)
    try:
        root = install(deb, work)
        check_docks(check_installed(root, version), version)
    finally:
        expect(remove(work), "the package could not be removed")
    how = "installed, docked, removed" if root == pathlib.Path("/") else "unpacked, docked"
    print("package %s: built, lintian --pedantic clean, %s" % (deb.name, how))


def main(argv):
    if len(argv) == 4 and argv[1] == "check":
        check(argv[2], argv[3])
        return 0
    if len(argv) == 3 and argv[1] == "remove":
        return 0 if remove(work_dir(argv[2])) else 1
    print(__doc__, file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv))
