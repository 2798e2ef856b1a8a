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
    lines = field("Description").splitlines()
    expect(len(lines) >= 3 and lines[0], "no short and long description: %r" % lines)
    files = set(must(["dpkg-deb", "-c", deb]).stdout.split())
    for path in ("./usr/bin/dayspinner", "./usr/share/man/man1/dayspinner.1.gz",
                 "./usr/share/doc/dayspinner/copyright",
                 "./usr/share/doc/dayspinner/changelog.gz"):
        expect(path in files, "the package lacks " + path)


def check_lintian(deb):
    # Errors fail; warnings and notes are shown.
    result = run(["lintian", "--fail-on", "error", "--info", deb])
    print(result.stdout + result.stderr, flush=True)
    expect(result.returncode == 0, "lintian reports errors")


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
    with harness.Session(settings=settings) as session:
        tile = session.start_tile()
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
    check_lintian(deb)
    try:
        root = install(deb, work)
        check_docks(check_installed(root, version), version)
    finally:
        expect(remove(work), "the package could not be removed")
    how = "installed, docked, removed" if root == pathlib.Path("/") else "unpacked, docked"
    print("package %s: built, lintian clean of errors, %s" % (deb.name, how))


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
