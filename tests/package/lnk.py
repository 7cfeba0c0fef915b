#!/usr/bin/python3
"""Prints what a Windows shortcut (.lnk) starts, one "key=value" line each:
target (the local path of its link information), then description,
relative, workdir, arguments and icon. Reads the Shell Link binary format: a
76-byte header, then the parts its flags announce, in this order."""
import struct
import sys

HAS_ID_LIST, HAS_LINK_INFO = 0x01, 0x02
STRINGS = [(0x04, "description"), (0x08, "relative"), (0x10, "workdir"),
           (0x20, "arguments"), (0x40, "icon")]
IS_UNICODE = 0x80


def read_link(data):
    if len(data) < 76 or struct.unpack_from("<I", data, 0)[0] != 76:
        raise ValueError("not a shortcut")
    flags = struct.unpack_from("<I", data, 0x14)[0]
    at = 76
    fields = {"target": ""} | {name: "" for _, name in STRINGS}
    if flags & HAS_ID_LIST:
        at += 2 + struct.unpack_from("<H", data, at)[0]
    if flags & HAS_LINK_INFO:
        size, header_size, info_flags = struct.unpack_from("<III", data, at)
        if info_flags & 1:  # VolumeIDAndLocalBasePath
            if header_size >= 0x24:  # the Unicode path follows the header
                offset = struct.unpack_from("<I", data, at + 0x1C)[0]
                end = data.index(b"\0\0", at + offset)
                end += (end - at - offset) % 2
                fields["target"] = data[at + offset:end].decode("utf-16-le")
            else:
                offset = struct.unpack_from("<I", data, at + 0x10)[0]
                end = data.index(b"\0", at + offset)
                fields["target"] = data[at + offset:end].decode("cp1252")
        at += size
    for flag, name in STRINGS:
        if flags & flag:
            count = struct.unpack_from("<H", data, at)[0]
            at += 2
            width = 2 if flags & IS_UNICODE else 1
            raw = data[at:at + count * width]
            # Wine counts a terminating NUL that Windows leaves out.
            fields[name] = raw.decode("utf-16-le" if width == 2 else "cp1252").rstrip("\0")
            at += count * width
    return fields


if __name__ == "__main__":
    with open(sys.argv[1], "rb") as f:
        for key, value in read_link(f.read()).items():
            print(f"{key}={value}")
