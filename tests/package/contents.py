#!/usr/bin/python3
"""Checks the zip that scripts/package makes, the package of the 32-bit
program that no test here can run: it holds the program, the plug-in, the
example settings and the read-me in a folder "Zentrik"; the program and the
plug-in are 32-bit, and the program's version resource carries the version in
the package's name; the read-me is Windows-1252 text with CR LF line ends.

usage: tests/package/contents.py Zentrik-<version>.zip <version>"""
import struct
import sys
import zipfile

I386 = 0x14C
IMAGE_FILE_DLL = 0x2000
FIXED_FILE_INFO_SIGNATURE = struct.pack("<I", 0xFEEF04BD)


def fail(message):
    sys.exit(f"contents: FAILED: {message}")


def pe_header(data, name):
    """The machine and characteristics of a PE file's COFF header."""
    if data[:2] != b"MZ":
        fail(f"{name} is not a Windows program")
    at = struct.unpack_from("<I", data, 0x3C)[0]
    if data[at:at + 4] != b"PE\0\0":
        fail(f"{name} has no PE header")
    machine, = struct.unpack_from("<H", data, at + 4)
    characteristics, = struct.unpack_from("<H", data, at + 22)
    return machine, characteristics


def file_version(data):
    """The four numbers of the version resource's fixed part, as "a.b.c.d"."""
    at = data.find(FIXED_FILE_INFO_SIGNATURE)
    if at < 0:
        return None
    high, low = struct.unpack_from("<II", data, at + 8)
    return f"{high >> 16}.{high & 0xFFFF}.{low >> 16}.{low & 0xFFFF}"


def check_windows_text(data, name):
    if data.replace(b"\r\n", b"").count(b"\n") or data.replace(b"\r\n", b"").count(b"\r"):
        fail(f"{name}: a line not ended by CR LF")
    if not data.endswith(b"\r\n"):
        fail(f"{name}: the last line has no end")
    data.decode("cp1252")


def main(path, version):
    with zipfile.ZipFile(path) as package:
        files = {n: package.read(n) for n in package.namelist() if not n.endswith("/")}
    want = {"Zentrik/ZentrikWin.exe", "Zentrik/plugins/vorn_KovReport.dll",
            "Zentrik/vorn_KovReport.ini", "Zentrik/LISEZMOI.txt"}
    if set(files) != want:
        fail(f"files {sorted(files)}, expected {sorted(want)}")

    program = files["Zentrik/ZentrikWin.exe"]
    machine, characteristics = pe_header(program, "ZentrikWin.exe")
    if machine != I386 or characteristics & IMAGE_FILE_DLL:
        fail(f"ZentrikWin.exe: machine {machine:#x}, characteristics {characteristics:#x}")
    if file_version(program) != version:
        fail(f"ZentrikWin.exe carries version {file_version(program)}, the package {version}")
    machine, characteristics = pe_header(files["Zentrik/plugins/vorn_KovReport.dll"],
                                         "vorn_KovReport.dll")
    if machine != I386 or not characteristics & IMAGE_FILE_DLL:
        fail(f"vorn_KovReport.dll: machine {machine:#x}, characteristics {characteristics:#x}")

    readme = files["Zentrik/LISEZMOI.txt"]
    check_windows_text(readme, "LISEZMOI.txt")
    if f"Zentrik pour Windows, version {version}\r\n".encode() not in readme:
        fail("LISEZMOI.txt does not give the version")
    if "tâches".encode("cp1252") not in readme or b"@VERSION@" in readme:
        fail("LISEZMOI.txt: accents not in Windows-1252, or a placeholder left")
    check_windows_text(files["Zentrik/vorn_KovReport.ini"], "vorn_KovReport.ini")
    print("contents: passed")


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    main(sys.argv[1], sys.argv[2])
