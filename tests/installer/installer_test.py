#!/usr/bin/env python3
"""The installer end to end under Wine, in a fresh 64-bit prefix of its own.

installer_test.py SOURCE_DIR WORK_DIR MEDIA_DIR SESSION_STATE

A machine where another program already handles .avi thumbnails and the user
has settings from before: the silent install must give real thumbnails through
the registry in 64-bit and 32-bit hosts and the Kadrix tab in a file's
Properties. While a host holds Tabliq (as Explorer holds its handlers), an
upgrade, an uninstall and a reinstall before the reboot each end with the
exit code a deployment tool reads (3010 when the reboot is needed), and the
reboot deletes only the files they moved aside: the reinstalled files stay.
The recorded QuietUninstallString waits, reports, and after the reboot leaves
the registry (both views) and the program folders as they were, but for the
few keys leftovers() lists. A /D= elsewhere, a registration that fails and
one whose step would show a box each end the install with 2.

The installer is built with a stand-in signing command that records what it
was given: every binary installed, the installer itself and the uninstaller
it writes must have gone through it. The version resources of all seven
binaries must say project()'s version.

Exits 77 (skipped) where makensis is missing, and on a machine that runs
64-bit code only: the installer is a 32-bit program.
"""

import hashlib
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time
from pathlib import Path

SKIPPED = 77

PROVIDER_KEY = "{e357fccd-a995-4576-b01f-234630154e96}"
EXTRACT_KEY = "{BB2E617C-0920-11d1-9A0B-00C04FC2D6C1}"
GLIMVEX_CLSID = "{5D2A7C10-3B94-4E61-A8F2-7C0E19B4D6A3}"
TABLIQ_CLSID = "{A0C4E7B2-6F18-4D3A-9B55-2E8D71C0F94B}"
OTHER_HANDLER = "{0D1E2F30-4152-6374-8596-A7B8C9DAEBFC}"  # another program's thumbnailer
UNINSTALL_KEY = r"HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Kadrix"
SETTINGS_KEY = r"HKCU\Software\Vantrel\KadrixVuvu"

# The machine before: two video types a player registered (.mkv through a
# ProgID of its own with a "Treatment" of its own), another thumbnailer on
# .avi, and the user's settings from an earlier install: the frame at
# 50 percent, which in the time-coded clips is segment 4, cyan.
BEFORE = rf"""Windows Registry Editor Version 5.00

[HKEY_CLASSES_ROOT\.avi\ShellEx\{PROVIDER_KEY}]
@="{OTHER_HANDLER}"

[HKEY_CLASSES_ROOT\.mp4]

[HKEY_CLASSES_ROOT\.mkv]
@="OtherPlayer.mkv"

[HKEY_CLASSES_ROOT\OtherPlayer.mkv]
"Treatment"=dword:00000002

[HKEY_CURRENT_USER\Software\Vantrel\KadrixVuvu]
"TimeShift"=dword:00000001
"Percent"=dword:00000032
"""
FRAME_COLOUR = (0x00, 0xFF, 0xFF)


def leftovers():
    """Keys the uninstall may leave, each empty (no value, no subkey).

    The setup program's -register creates "ShellEx" and the two handler keys
    under each extension it associates, and "ShellEx\\PropertySheetHandlers"
    under the file type (the ProgID where there is one); -unregister takes
    back its values and its own handler subkey but keeps these keys, as other
    handlers may share them. Empty, they change nothing for the shell.
    """
    keys = set()
    for ext, file_type in ((".avi", ".avi"), (".mp4", ".mp4"), (".mkv", "OtherPlayer.mkv")):
        for key in (rf"{ext}\ShellEx", rf"{ext}\ShellEx\{EXTRACT_KEY}",
                    rf"{ext}\ShellEx\{PROVIDER_KEY}", rf"{file_type}\ShellEx",
                    rf"{file_type}\ShellEx\PropertySheetHandlers"):
            keys.add(rf"HKLM\Software\Classes\{key}".lower())
    return keys


class Failure(Exception):
    pass


def check(condition, message):
    if not condition:
        raise Failure(message)


def step(text):
    print(f"[{time.monotonic() - START:6.1f} s] {text}", flush=True)


START = time.monotonic()
# Every Wine call is bounded by what is left of this, so a hung step fails
# the test while there is time to end the prefix's processes (ctest's limit
# is 400 s, and it would kill only this script).
DEADLINE = START + 300


def time_left(limit):
    return max(1.0, min(limit, DEADLINE - time.monotonic()))


class Wine:
    """A prefix of our own, run without a persistent server: when a phase's
    last process has ended the server quits and writes the registry files,
    which is what settle() waits for."""

    def __init__(self, work, display):
        self.prefix = work / "prefix"
        self.drive = self.prefix / "drive_c"
        self.env = dict(os.environ, WINEPREFIX=str(self.prefix), WINEDEBUG="-all", DISPLAY=display,
                        # No sound; no Mono or Gecko offers; and no menu
                        # entries in the Linux user's home for the shortcut.
                        WINEDLLOVERRIDES="winealsa.drv=d;winepulse.drv=d;mscoree=d;mshtml=d;"
                                         "winemenubuilder.exe=d")
        self.env.pop("WINEARCH", None)

    def create(self):
        shutil.rmtree(self.prefix, ignore_errors=True)
        self.run(["wineboot", "--init"])
        self.settle()
        check((self.prefix / "system.reg").is_file(), "wineboot made no prefix")
        (self.drive / "kadrix-test").mkdir()

    # Output goes to files, not pipes: the Wine services a run starts inherit
    # its handles and outlive it, so a pipe would not close when it ends.
    def run(self, args):
        """Runs a program to its end: (exit code, what it printed)."""
        with tempfile.TemporaryFile() as output:
            code = subprocess.run(["wine", *args], env=self.env, stdin=subprocess.DEVNULL, stdout=output,
                                  stderr=subprocess.STDOUT, timeout=time_left(180)).returncode
            output.seek(0)
            return code, output.read().decode(errors="replace")

    def start(self, args, output):
        return subprocess.Popen(["wine", *args], env=self.env, stdin=subprocess.DEVNULL, stdout=output,
                                stderr=subprocess.STDOUT)

    def command_line(self, line):
        """Runs a raw Windows command line (wine would quote an argument such
        as "_?=C:\\Program Files\\Kadrix") from a batch file, which waits for
        it: (exit code, what it printed). The code is read inside Windows, as
        a Unix exit status would keep only its low byte (3010 is 194)."""
        folder = self.drive / "kadrix-test"
        (folder / "exit-code.txt").unlink(missing_ok=True)
        # The redirection first: after the line it would change its end,
        # which "_?=" takes whole as a folder. (Wine's cmd takes no "2>&1"
        # there; the installer prints only to its standard output.)
        (folder / "run.cmd").write_text(f"@>C:\\kadrix-test\\output.txt {line}\r\n"
                                        f"@>C:\\kadrix-test\\exit-code.txt echo %ERRORLEVEL%\r\n")
        self.run(["cmd", "/c", r"C:\kadrix-test\run.cmd"])
        code = (folder / "exit-code.txt").read_text().strip()
        check(code.lstrip("-").isdigit(), f"no exit code from {line}")
        return int(code), (folder / "output.txt").read_text(errors="replace")

    def reboot(self):
        """What a restart does to files: once every process has ended,
        wineboot carries out the renames and deletions queued for it."""
        self.settle()
        self.run(["wineboot", "--restart"])
        self.settle()

    def settle(self):
        subprocess.run(["wineserver", "-w"], env=self.env, timeout=time_left(180), check=True)

    def stop(self):
        subprocess.run(["wineserver", "-k"], env=self.env, capture_output=True)
        subprocess.run(["wineserver", "-w"], env=self.env, timeout=60)


def read_hive(path, root):
    """Wine's registry file as {key: {value name: raw data}}, lower-case
    paths (the registry ignores case) under HKLM\\Software or HKCU\\Software.

    The files are the registry itself, read once the server has quit and
    written them: both views at once (the 32-bit one is the Wow6432Node keys,
    HKCR the Classes keys), with no tool between that could hide a key.
    The file lists only keys with values or without subkeys: their parents
    are added. The only noise filtered out is the timestamps ("[key] 1700000000",
    "#time="): they change with every write of a key, even one that writes the
    same data, and say nothing about its content. Nothing else under Software
    changes by itself in these runs (the unchanged phases diff empty), so
    nothing else is filtered."""
    keys = {}
    current = None
    pending = ""
    for raw in path.read_text(encoding="utf-8", errors="replace").splitlines():
        line = pending + raw.strip()
        pending = ""
        if line.endswith("\\") and current is not None and not line.startswith("["):
            pending = line[:-1]  # a hex value continues on the next line
            continue
        header = re.match(r"^\[(.*)\](?: \d+)?$", line)
        if header:
            name = header.group(1).replace("\\\\", "\\")
            current = None
            if name.lower().startswith("software"):
                current = keys.setdefault(f"{root}\\{name}".lower(), {})
            continue
        if current is None or not line or line.startswith("#"):
            continue
        if line.startswith("@="):
            current["@"] = line[2:]
        else:
            value = re.match(r'^"((?:[^"\\]|\\.)*)"=(.*)$', line)
            if value:
                current[value.group(1).lower()] = value.group(2)
    for key in list(keys):
        parts = key.split("\\")
        for n in range(2, len(parts)):
            keys.setdefault("\\".join(parts[:n]), {})
    return keys


class Snapshot:
    def __init__(self, wine):
        self.registry = {**read_hive(wine.prefix / "system.reg", "hklm"),
                         **read_hive(wine.prefix / "user.reg", "hkcu")}
        self.files = set()
        for top in ("Program Files", "Program Files (x86)", "ProgramData"):
            for path in (wine.drive / top).rglob("*"):
                self.files.add(str(path.relative_to(wine.drive)) + ("/" if path.is_dir() else ""))

    def value(self, key, name="@"):
        return self.registry.get(key.lower(), {}).get(name.lower())


def registry_diff(before, after):
    """What changed: ("+", key, values), ("-", key, values) for keys that came
    or went, ("~", key, "name: old -> new") for each changed value."""
    changes = []
    for key in sorted(before.registry.keys() | after.registry.keys()):
        old, new = before.registry.get(key), after.registry.get(key)
        if old is None or new is None:
            changes.append(("+", key, new) if old is None else ("-", key, old))
            continue
        for name in sorted(old.keys() | new.keys()):
            if old.get(name) != new.get(name):
                changes.append(("~", key, f"{name}: {old.get(name)} -> {new.get(name)}"))
    return changes


def listing(changes):
    return "\n  ".join(f"{kind}{key} {detail or ''}" for kind, key, detail in changes)


def check_clean(before, after, also_gone=()):
    """After an uninstall: the registry as before except the leftover keys,
    which must be empty (a subkey of one would be a new key of its own, so it
    counts too), and the keys of also_gone, which went deliberately; the
    folders as before."""
    allowed = leftovers()
    unexpected = [
        (kind, key, detail) for kind, key, detail in registry_diff(before, after)
        if not (kind == "+" and key in allowed and not detail)
        and not (kind == "-" and any(key == k or key.startswith(k + "\\") for k in also_gone))
    ]
    check(not unexpected, "the registry differs from before the install:\n  " + listing(unexpected))
    files = sorted(before.files ^ after.files)
    check(not files, "the folders differ from before the install:\n  " + "\n  ".join(files))
    check(after.value(rf"HKLM\Software\Classes\.avi\ShellEx\{PROVIDER_KEY}") == f'"{OTHER_HANDLER}"',
          "the other program's .avi thumbnail handler was not restored")


def check_installed(state):
    dir64, dir32 = "Program Files/Kadrix/", "Program Files (x86)/Kadrix/"
    expected = [dir64 + f for f in ("Glimvex.dll", "Tabliq.dll", "Zelkon.exe", "uninstall.exe")]
    expected += [dir32 + f for f in ("Glimvex.dll", "Tabliq.dll")]
    expected += ["ProgramData/Microsoft/Windows/Start Menu/Programs/Kadrix Vuvu setup.lnk"]
    missing = [f for f in expected if f not in state.files]
    check(not missing, f"not installed: {missing}")
    # Each library in its own registry view, from its own folder.
    for view, folder in (("Classes", r"C:\\Program Files\\Kadrix"),
                         (r"Classes\Wow6432Node", r"C:\\Program Files (x86)\\Kadrix")):
        for clsid, dll in ((GLIMVEX_CLSID, "Glimvex.dll"), (TABLIQ_CLSID, "Tabliq.dll")):
            server = state.value(rf"HKLM\Software\{view}\CLSID\{clsid}\InprocServer32")
            check(server == f'"{folder}\\\\{dll}"', f"{view} {clsid}: server {server}")
    provider = rf"HKLM\Software\Classes\.avi\ShellEx\{PROVIDER_KEY}"
    check(state.value(provider) == f'"{GLIMVEX_CLSID}"', ".avi is not associated")
    check(state.value(provider, "VLOld") == f'"{OTHER_HANDLER}"', "the earlier handler was not saved")
    for name in ("DisplayName", "Publisher", "DisplayVersion", "DisplayIcon", "UninstallString",
                 "QuietUninstallString", "EstimatedSize", "NoModify", "NoRepair"):
        check(state.value(UNINSTALL_KEY, name) is not None, f"the uninstall entry has no {name}")


def windows_path(path):
    return "Z:" + str(path).replace("/", "\\")


def tool(source, preset, name):
    return source / "build" / preset / "tools" / name


def wait_until_mapped(path):
    """Until a process maps the file: Wine loads a library by mapping it."""
    while time.monotonic() < DEADLINE:
        for maps in Path("/proc").glob("[0-9]*/maps"):
            try:
                if str(path) in maps.read_text(errors="replace"):
                    return
            except OSError:
                pass  # a process that ended meanwhile
        time.sleep(0.2)
    raise Failure(f"no process loaded {path}")


def pixel(png, x, y):
    out = subprocess.run(["convert", str(png), "-crop", f"1x1+{x}+{y}", "-depth", "8", "txt:-"],
                         capture_output=True, text=True, check=True).stdout
    found = re.search(r"#([0-9A-Fa-f]{6})", out)
    check(found, f"no pixel read from {png}")
    return tuple(int(found.group(1)[i:i + 2], 16) for i in (0, 2, 4))


def check_thumbnails(wine, source, work, media):
    """kadrix-thumb of both bitnesses through the registry, as the shell
    asks: a tile showing the frame the settings chose, and the clip's
    automatic thumbnail stream beside it."""
    clips = wine.drive / "kadrix-test" / "clips"
    clips.mkdir(exist_ok=True)
    for preset, names in (("x64", ("x64.avi", "x64.mp4")), ("x86", ("x86.avi",))):
        for name in names:
            shutil.copyfile(media / ("mjpeg.avi" if name.endswith(".avi") else "h264.mp4"), clips / name)
        tiles = work / f"tiles-{preset}"
        shutil.rmtree(tiles, ignore_errors=True)
        code, output = wine.run([windows_path(tool(source, preset, "kadrix-thumb.exe")), "--size", "96",
                                 *(rf"C:\kadrix-test\clips\{n}" for n in names), "--out", windows_path(tiles)])
        check(code == 0, f"kadrix-thumb {preset}: exit {code}\n{output}")
        for name in names:
            centre = pixel(tiles / f"{name}.png", 48, 48)
            check(all(abs(a - b) <= 40 for a, b in zip(centre, FRAME_COLOUR)),
                  f"{preset} {name}: the tile's centre is {centre}, not the frame at 50 percent")
            check((clips / f"{name}:vantrelthumbauto").is_file(), f"{preset} {name}: no thumbnail stream")


def check_properties(wine, source):
    code, output = wine.run([windows_path(tool(source, "x64", "kadrix-props.exe")), "--close-after", "1500",
                             r"C:\kadrix-test\clips\x64.avi"])
    check(code == 0 and re.search(r"^tab \d+: Kadrix\r?$", output, re.M),
          f"kadrix-props found no Kadrix tab (exit {code}):\n{output}")


def install(wine, installer, expected=0, arguments=""):
    code, output = wine.command_line(f'"{windows_path(installer)}" /S{arguments}')
    check(code == expected, f"silent install{arguments}: exit {code}, not {expected}\n{output}")
    return output


def quiet_uninstall(wine, state, before_folder="", expected=0):
    """The entry's QuietUninstallString, as a deployment tool runs it, with
    before_folder put in before its last argument ("_?=", which must stay
    last); it waits, so its exit code is the uninstall's."""
    quiet = state.value(UNINSTALL_KEY, "QuietUninstallString")
    check(quiet is not None, "the uninstall entry has no QuietUninstallString")
    quiet = quiet.strip('"').replace('\\"', '"').replace("\\\\", "\\")
    head, folder = quiet.split(" _?=")
    code, output = wine.command_line(f"{head}{before_folder} _?={folder}")
    check(code == expected, f"the quiet uninstall: exit {code}, not {expected}\n{output}")


def pending_deletions(wine):
    """The files and folders the next reboot deletes or renames: the sources
    of the source, target pairs in the registry file's REG_MULTI_SZ, which
    Wine writes as an escaped string (str(7)) or in hex (hex(7))."""
    text = (wine.prefix / "system.reg").read_text(encoding="utf-8", errors="replace")
    key = text.find("[System\\\\CurrentControlSet\\\\Control\\\\Session Manager]")
    value = re.compile(r'^"PendingFileRenameOperations"='
                       r'(?:str\(7\):"((?:[^"\\]|\\.)*)"|hex\(7\):((?:.*\\\n)*.*))$', re.M).search(text, key)
    if key < 0 or not value or value.start() > text.find("\n[", key + 1):
        return []
    if value.group(1) is not None:
        names = re.sub(r"\\(.)", lambda m: "\0" if m.group(1) == "0" else m.group(1), value.group(1))
    else:
        names = bytes(int(b, 16) for b in re.findall(r"[0-9a-f]{2}", value.group(2))).decode("utf-16-le")
    parts = names.split("\0")
    return [source.removeprefix("\\??\\") for source in parts[0:-1:2] if source]


def check_pending_only_moved_aside(wine):
    """No real name of ours is left to the reboot, which would delete what a
    later install wrote there: only files moved aside (*.tmp) and folders."""
    ours = [p for p in pending_deletions(wine) if re.match(r"(?i)C:\\Program Files( \(x86\))?\\Kadrix", p)]
    check(ours, "nothing of ours is left to the reboot, though a library was held")
    real = [p for p in ours if not (p.lower().endswith(".tmp") or re.fullmatch(r"(?i).*\\Kadrix\\?", p))]
    check(not real, f"the reboot would delete files an install writes: {real}")


def build_installer(source, work):
    """The installer, built anew with a stand-in for the signing command that
    records each file it is given, and its hash; (installer, {hash: path})."""
    log = work / "signed.txt"
    log.unlink(missing_ok=True)
    env = dict(os.environ, KADRIX_SIGN_CMD=f"sha256sum >>'{log}'")
    built = subprocess.run([str(source / "scripts" / "build-installer.sh")], env=env, capture_output=True,
                           text=True)
    check(built.returncode == 0, f"build-installer.sh failed:\n{built.stdout}{built.stderr}")
    # The 32-bit host comes from the x86 tree too.
    for preset, target in (("x86", "kadrix-thumb"), ("x64", "version_probe")):
        subprocess.run(["cmake", "--build", "--preset", preset, "--target", target], cwd=source,
                       check=True, capture_output=True)
    signed = dict(line.split(None, 1) for line in log.read_text().splitlines())
    return Path(built.stdout.strip().splitlines()[-1]), {h: p.strip() for h, p in signed.items()}


def sha256(path):
    return hashlib.sha256(path.read_bytes()).hexdigest()


def check_signed(wine, installer, signed):
    """Each binary that was packed (both bitnesses), the uninstaller, which
    makensis hands over before it packs it, and the installer itself went
    through the signing command, and what was installed is what it saw."""
    names = sorted(Path(p).parent.name + "/" + Path(p).name for p in signed.values() if "/payload/" in p)
    packed = sorted(f"{arch}/{name}" for arch in ("x64", "x86")
                    for name in ("Glimvex.dll", "Tabliq.dll", "Zelkon.exe"))
    check(names == packed, f"the payload signed: {names}")
    check(sha256(installer) in signed, "the installer did not go through the signing command")
    check(len(signed) == 8, f"signed {len(signed)} files, not the six binaries, the uninstaller, the installer")
    for folder, files in (("Program Files", ("Glimvex.dll", "Tabliq.dll", "Zelkon.exe", "uninstall.exe")),
                          ("Program Files (x86)", ("Glimvex.dll", "Tabliq.dll"))):
        for name in files:
            check(sha256(wine.drive / folder / "Kadrix" / name) in signed,
                  f"{folder}/Kadrix/{name} is not a file the signing command saw")


def check_versions(wine, source, installer):
    """The version resources of the six binaries and the installer, read
    back with GetFileVersionInfoW: project()'s version, and who made them."""
    project = (source / "CMakeLists.txt").read_text()
    version = re.search(r"^project\(Kadrix VERSION ([0-9.]+)", project, re.M).group(1)
    quad = ".".join((version.split(".") + ["0"] * 4)[:4])
    files = [source / "build" / preset / folder / name for preset in ("x86", "x64")
             for folder, name in (("thumbnail_handler", "Glimvex.dll"), ("property_sheet", "Tabliq.dll"),
                                  ("setup", "Zelkon.exe"))] + [installer]
    probe = source / "build" / "x64" / "tests" / "installer" / "version_probe.exe"
    code, output = wine.run([windows_path(probe), *(windows_path(f) for f in files)])
    lines = [line.split("\t") for line in output.splitlines() if "\t" in line]
    check(code == 0 and len(lines) == len(files), f"version_probe: exit {code}\n{output}")
    for fields in lines:
        name = fields[0]
        check(fields[1:3] == [quad, quad] and fields[3:5] == [version, version],
              f"{name}: versions {fields[1:5]}, not {quad} and {version}")
        check(fields[5:7] == ["Kadrix", "Vantrel"] and fields[7] != "(none)" and "Vantrel" in fields[8],
              f"{name}: product, company, description, copyright {fields[5:]}")


def held_by_host(wine, source, path, seconds):
    """A Properties host that has loaded the library at path and keeps it
    for at most that many seconds; the caller ends it when it is done."""
    output = tempfile.TemporaryFile()
    host = wine.start([windows_path(tool(source, "x64", "kadrix-props.exe")), "--close-after",
                       str(seconds * 1000), r"C:\kadrix-test\clips\x64.avi"], output)
    wait_until_mapped(path)
    return host, output


def scenario(source, work, media, display):
    step("building the installer, signed by a stand-in")
    installer, signed = build_installer(source, work)
    wine = Wine(work, display)
    try:
        step("creating a fresh prefix")
        wine.create()
        before_file = wine.drive / "kadrix-test" / "before.reg"
        before_file.write_text(BEFORE.replace("\n", "\r\n"))
        check(wine.run(["reg", "import", r"C:\kadrix-test\before.reg", "/reg:64"])[0] == 0, "reg import failed")
        wine.settle()
        before = Snapshot(wine)
        step("the version resources")
        check_versions(wine, source, installer)

        step("silent install")
        # Nobody holds it open here: the install deletes it quietly.
        local = [d for d in (wine.drive / "users").glob("*/AppData/Local") if d.parent.parent.name != "Public"]
        check(len(local) == 1, f"no one user profile in the prefix: {local}")
        cache = local[0] / "Microsoft" / "Windows" / "Explorer" / "thumbcache_256.db"
        cache.parent.mkdir(parents=True, exist_ok=True)
        cache.write_bytes(b"cached tiles")
        install(wine, installer)
        check(not cache.exists(), "the silent install left Explorer's thumbnail cache")
        wine.settle()
        installed = Snapshot(wine)
        check_installed(installed)
        check_signed(wine, installer, signed)
        step("thumbnails and the Kadrix tab through the registry")
        check_thumbnails(wine, source, work, media)
        check_properties(wine, source)

        # Wine, like Windows, refuses to delete a loaded library: each run
        # must move it aside, and leave the reboot only the name it moved it
        # to, or the reboot would delete the file the reinstall wrote.
        step("upgrade, uninstall and reinstall while a host holds Tabliq")
        folder = wine.drive / "Program Files" / "Kadrix"
        host, output = held_by_host(wine, source, folder / "Tabliq.dll", 25)
        try:
            install(wine, installer, expected=3010)
            check(list(folder.glob("*.tmp")), "the upgrade did not move the loaded Tabliq.dll aside")
            quiet_uninstall(wine, installed, expected=3010)
            install(wine, installer)
        finally:
            host.terminate()
            host.wait(timeout=time_left(60))
            output.close()
        wine.settle()  # the registry file is written when the server ends
        check_pending_only_moved_aside(wine)
        wine.reboot()
        again = Snapshot(wine)
        check_installed(again)
        check(not list(folder.glob("*.tmp")), "the reboot left files moved aside")
        changed = registry_diff(installed, again)
        check(not changed, "the reinstall left another registry:\n  " + listing(changed))

        # As a deployment tool runs it, with the settings going too; it
        # waits, and removes itself at the reboot.
        step("the recorded quiet uninstall, settings removed")
        quiet_uninstall(wine, again, before_folder=" /REMOVESETTINGS")
        wine.reboot()
        after = Snapshot(wine)
        check(after.value(SETTINGS_KEY, "Percent") is None, "the settings were not removed")
        check_clean(before, after, also_gone=(SETTINGS_KEY.lower(), r"hkcu\software\vantrel"))

        step("installs that are refused or fail")
        output = install(wine, installer, expected=2, arguments=r" /D=C:\Elsewhere")
        check("folders are fixed" in output, f"a refused /D= said: {output!r}")
        check(not folder.exists() and not (wine.drive / "Elsewhere").exists(), "a refused /D= installed files")

        # A registration that fails: the 32-bit regsvr32 can't start.
        regsvr32 = wine.drive / "windows" / "syswow64" / "regsvr32.exe"
        regsvr32.rename(regsvr32.with_suffix(".moved"))
        install(wine, installer, expected=2)
        regsvr32.with_suffix(".moved").rename(regsvr32)
        wine.settle()
        check(Snapshot(wine).value(rf"HKLM\Software\Classes\.avi\ShellEx\{PROVIDER_KEY}")
              == f'"{OTHER_HANDLER}"', "a failed install went on to associate the file types")

        # A handler key whose value is no string: the setup program's
        # -register would show its error in a box that nobody answers here.
        key = rf"HKCR\.avi\ShellEx\{EXTRACT_KEY}"
        check(wine.run(["reg", "add", key, "/ve", "/t", "REG_DWORD", "/d", "1", "/f", "/reg:64"])[0] == 0,
              "reg add failed")
        output = install(wine, installer, expected=2)
        check("Zelkon.exe -register: 1)" in output, f"the failed association said: {output!r}")
    finally:
        wine.stop()
    shutil.rmtree(wine.prefix, ignore_errors=True)  # 1 GB; kept when the test failed


def runs_32bit_code():
    """Whether Wine's 32-bit loader starts (a kernel without IA-32 emulation can't)."""
    try:
        return subprocess.run(["/usr/lib/wine/wine", "--version"], capture_output=True).returncode == 0
    except OSError:
        return False


def main():
    source, work, media, state = (Path(a).resolve() for a in sys.argv[1:5])
    if not shutil.which("makensis"):
        print("makensis is not installed: skipped")
        return SKIPPED
    if not runs_32bit_code():
        print("this machine runs 64-bit code only, and the installer is a 32-bit program: skipped")
        return SKIPPED
    display = (state / "display").read_text().strip()
    work.mkdir(parents=True, exist_ok=True)
    try:
        scenario(source, work, media, display)
    except (Failure, subprocess.SubprocessError) as failure:
        print(f"FAILED: {failure}")
        return 1
    step("passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
