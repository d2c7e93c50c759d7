#!/usr/bin/env python3
"""The Windows release as share/windows/release.sh makes it from the cross
build: the zip, the MSI and their Authenticode signatures, then the MSI
installed, upgraded and removed by msiexec in a wine prefix of its own.

usage: windows_release.py SOURCE_DIR BUILD_DIR
"""
import os
import shutil
import subprocess
import sys
import tempfile
import zipfile

source, build = sys.argv[1], sys.argv[2]
release = os.path.join(source, "share", "windows", "release.sh")
version = next(line.split("=", 1)[1].strip() for line in open(os.path.join(build, "CMakeCache.txt"))
               if line.startswith("CMAKE_PROJECT_VERSION:STATIC="))
major, minor = version.split(".")[:2]
later = "%s.%d" % (major, int(minor) + 1)
failures = []


def check(condition, message):
    if not condition:
        failures.append(message)


def run(args, **kwargs):
    result = subprocess.run(args, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                            text=True, errors="replace", timeout=240, **kwargs)
    return result.returncode, result.stdout


def table(msi, name):
    code, text = run(["msiinfo", "export", msi, name])
    return [line.split("\t") for line in text.splitlines()[3:]] if code == 0 else []


with tempfile.TemporaryDirectory(prefix="quillon-release-") as work:
    # A code-signing certificate of our own, as an admin's would be.
    cert, key = os.path.join(work, "cert.pem"), os.path.join(work, "key.pem")
    code, text = run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", key, "-out", cert, "-days",
                      "2", "-subj", "/CN=Quillon Test Signing", "-addext", "extendedKeyUsage=codeSigning"])
    assert code == 0, text
    signing = shutil.which("osslsigncode") is not None
    dist, dist_later = os.path.join(work, "dist"), os.path.join(work, "later")
    code, text = run([release, build, dist, "--cert", cert, "--key", key])
    if signing:
        check(code == 0 and "Signed quillon.exe, quillon-cli.exe and the MSI." in text, "the signed release: " + text)
    else:
        check(code != 0 and "osslsigncode is not installed" in text and not os.path.exists(dist + "/quillon-windows-x64.zip"),
              "asked to sign without osslsigncode: " + text)
        print("osslsigncode is not installed: the signatures are not checked")
        code, text = run([release, build, dist])
    code, text = run([release, build, dist_later, "--version", later])
    check(code == 0 and "NOT SIGNED" in text, "the unsigned release does not say so: " + text)
    msi, msi_later = dist + "/quillon-%s-x64.msi" % version, dist_later + "/quillon-%s-x64.msi" % later

    # The zip: the programs with the DLLs they load, the help, a README.txt
    # for Notepad and what the libraries' licence asks for.
    unpacked = os.path.join(work, "unpacked")
    with zipfile.ZipFile(dist + "/quillon-windows-x64.zip") as archive:
        names = sorted(n for n in archive.namelist() if not n.endswith("/"))
        shipped = sorted(["quillon.exe", "quillon-cli.exe", "libgcrypt-20.dll", "libgpg-error-0.dll", "README.txt",
                          "quillon-help.html", "licenses/THIRD-PARTY.txt", "licenses/LGPL-2.1.txt",
                          "licenses/libgcrypt.txt", "licenses/libgpg-error.txt"])
        check(names == ["quillon-windows-x64/" + n for n in shipped], "the zip holds %s" % names)
        readme = archive.read("quillon-windows-x64/README.txt")
        notice = archive.read("quillon-windows-x64/licenses/THIRD-PARTY.txt")
        for name, text in (("README.txt", readme), ("THIRD-PARTY.txt", notice)):
            check(text.count(b"\r\n") == text.count(b"\n") > 20 and b"@" not in text, name + " is not filled in with CR LF")
        check(readme.startswith(b"Quillon " + version.encode()), "README.txt names another version")
        archive.extractall(unpacked)

    if signing:
        for signed in (unpacked + "/quillon-windows-x64/quillon.exe", unpacked + "/quillon-windows-x64/quillon-cli.exe", msi):
            code, text = run(["osslsigncode", "verify", "-CAfile", cert, "-in", signed])
            check(code == 0 and "Signature verification: ok" in text, "%s: %s" % (os.path.basename(signed), text))
        # A byte changed after signing breaks the signature.
        changed = os.path.join(work, "changed.exe")
        data = bytearray(open(unpacked + "/quillon-windows-x64/quillon-cli.exe", "rb").read())
        data[len(data) // 2] ^= 1
        open(changed, "wb").write(bytes(data))
        check(run(["osslsigncode", "verify", "-CAfile", cert, "-in", changed])[0] != 0, "a changed program still verifies")
        check(run(["osslsigncode", "verify", "-CAfile", cert, "-in", msi_later])[0] != 0, "the unsigned MSI verifies")

    # The MSI's tables: one UpgradeCode for every version, a ProductCode
    # for each, the version and icon for Apps & features, the PATH entry.
    properties, properties_later = dict(table(msi, "Property")), dict(table(msi_later, "Property"))
    check(properties.get("ProductVersion") == version and properties_later.get("ProductVersion") == later,
          "the versions are %s and %s" % (properties.get("ProductVersion"), properties_later.get("ProductVersion")))
    check(properties["UpgradeCode"] == properties_later["UpgradeCode"] and
          properties["ProductCode"] != properties_later["ProductCode"], "the codes do not make an upgrade")
    check(properties.get("ALLUSERS") == "1" and properties.get("ARPPRODUCTICON") == "quillon.ico", "%s" % properties)
    check(["QuillonPath", "=-*PATH", "[~];[INSTALLDIR]", "CommandLine"] in table(msi, "Environment"), "no PATH entry")
    check([r[2] for r in table(msi, "Shortcut")] == ["Quillon"], "the Start menu shortcut: %s" % table(msi, "Shortcut"))
    sequence = {r[0]: int(r[2]) for r in table(msi, "InstallExecuteSequence")}
    check(sequence["InstallInitialize"] < sequence["RemoveSettings"] < sequence["InstallFinalize"] and
          sequence["RemoveEnvironmentStrings"] < sequence["WriteEnvironmentStrings"], "the sequence: %s" % sequence)

    # Installed, upgraded and removed in a wine prefix of this test alone.
    env = dict(os.environ, WINEPREFIX=os.path.join(work, "prefix"), WINEDEBUG="-all",
               WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d")
    drive = os.path.join(work, "prefix", "drive_c")
    folder = r"C:\Program Files\Quillon" + "\\"

    def state(then=""):
        """What Apps & features, the installer, PATH, the settings and a
        command prompt show, in one start of wine (each takes seconds)."""
        script = os.path.join(work, "state.cmd")
        with open(script, "w", newline="\r\n") as out:
            out.write("@echo off\n" + "\necho ====\n".join([
                r"reg query HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall /s",
                r"reg query HKLM\Software\Classes\Installer\Products /s",
                r'reg query "HKLM\System\CurrentControlSet\Control\Session Manager\Environment" /v PATH',
                r"reg query HKCU\Software\Quillon /s", "quillon-cli --version"]) + "\n" + then + "\n")
        parts = run(["wine", "cmd", "/c", "Z:" + script.replace("/", "\\")], env=env)[1].split("====")
        path = next((l for l in parts[2].splitlines() if "REG_EXPAND_SZ" in l), "").split("REG_EXPAND_SZ")[-1]
        return {"apps": parts[0], "installer": parts[1], "path": [p for p in path.strip().split(";") if p],
                "settings": parts[3], "cli": parts[4].strip()}

    def installed():
        files = set()
        for top in ("Program Files", "ProgramData", "users", os.path.join("windows", "Installer")):
            for where, _, names in os.walk(os.path.join(drive, top)):
                files |= {f for f in (os.path.relpath(os.path.join(where, n), drive) for n in names) if "quillon" in f.lower()}
        return files

    def msiexec(*args):
        code, text = run(["wine", "msiexec", *args, "/qn"], env=env)
        check(code == 0, "msiexec %s: %d %s" % (" ".join(args), code, text))

    try:
        # One wine server for the whole test, not one for each command.
        subprocess.run(["wineserver", "-p"], env=env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL)
        run(["wine", "wineboot", "-i"], env=env)
        before = state()
        msiexec("/i", "Z:" + msi.replace("/", "\\"))
        files = installed()
        check({os.path.join("Program Files", "Quillon", n) for n in shipped} <= files, "installed: %s" % sorted(files))
        check(any(f.endswith(os.path.join("Start Menu", "Programs", "Quillon.lnk")) for f in files), "no Start menu shortcut")
        # The user's settings outlive an upgrade and an uninstall, unless asked away.
        now = state(r"reg add HKCU\Software\Quillon\Listing /v Md5 /t REG_DWORD /d 1 /f >nul")
        check("DisplayName    REG_SZ    Quillon" in now["apps"] and "DisplayVersion    REG_SZ    " + version in now["apps"],
              "Apps & features: " + now["apps"])
        check("quillon.ico" in now["installer"], "no icon for Apps & features: " + now["installer"])
        check(now["path"] == before["path"] + [folder], "PATH: %s" % now["path"])
        check(now["cli"].startswith("Quillon " + version), "quillon-cli is not on PATH: " + now["cli"])

        msiexec("/i", "Z:" + msi_later.replace("/", "\\"))
        now = state()
        check(now["apps"].count("DisplayName    REG_SZ    Quillon") == 1 and
              "DisplayVersion    REG_SZ    " + later in now["apps"], "after the upgrade: " + now["apps"])
        check(now["path"].count(folder) == 1, "PATH after the upgrade: %s" % now["path"])
        msiexec("/x", "Z:" + msi_later.replace("/", "\\"))
        now = state()
        check(installed() == set(), "left after uninstall: %s" % sorted(installed()))
        check("Quillon" not in now["apps"] + now["installer"], "still registered: " + now["apps"] + now["installer"])
        check(now["path"] == before["path"], "PATH after uninstall: %s, before: %s" % (now["path"], before["path"]))
        check("Md5" in now["settings"], "the settings went with the program")
        msiexec("/i", "Z:" + msi.replace("/", "\\"))
        msiexec("/x", "Z:" + msi.replace("/", "\\"), "REMOVESETTINGS=1")
        check("Md5" not in state()["settings"] and installed() == set(), "REMOVESETTINGS=1 left some")
    finally:
        subprocess.run(["wineserver", "-k"], env=env, stderr=subprocess.DEVNULL)
        subprocess.run(["wineserver", "-w"], env=env, stderr=subprocess.DEVNULL)

for failure in failures:
    print("FAILED: " + failure)
sys.exit(1 if failures else 0)
