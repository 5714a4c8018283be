#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
# check_version_resource.py DLL VERSION DESCRIPTION FILE_NAME
# Reads the version resource of a Windows DLL as Windows shows it in the file's properties: the fixed part's file
# and product versions, and the US English string table. Fails unless both versions are VERSION (1.2.3 as
# 1.2.3.0), the product is Quillmere, the description is DESCRIPTION, the original file name is FILE_NAME and a
# licence is named.
import struct
import sys

FIXED_SIGNATURE = 0xFEEF04BD


def section(data, name):
    """The raw bytes of the PE section called name."""
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    if data[pe:pe + 4] != b"PE\0\0":
        raise SystemExit("not a PE file")
    count = struct.unpack_from("<H", data, pe + 6)[0]
    optional_size = struct.unpack_from("<H", data, pe + 20)[0]
    table = pe + 24 + optional_size
    for i in range(count):
        entry = table + 40 * i
        if data[entry:entry + 8].rstrip(b"\0") == name:
            size, offset = struct.unpack_from("<II", data, entry + 16)
            return data[offset:offset + size]
    raise SystemExit("no %s section: the DLL has no resources" % name.decode())


def align4(n):
    return (n + 3) & ~3


def blocks(data, start, end):
    """The child blocks (key, value bytes, children start, block end, value is text) between start and end."""
    at = start
    while at + 6 <= end:
        length, value_length, is_text = struct.unpack_from("<HHH", data, at)
        if length == 0:
            break
        key_end = at + 6
        while data[key_end:key_end + 2] != b"\0\0":
            key_end += 2
        key = data[at + 6:key_end].decode("utf-16-le")
        value_start = align4(key_end + 2)
        value_size = value_length * 2 if is_text else value_length
        yield key, data[value_start:value_start + value_size], align4(value_start + value_size), at + length, is_text
        at = align4(at + length)


def version_info(rsrc):
    # VS_VERSION_INFO is the one resource with this key; find it by its key, as its place depends on the tree.
    key = "VS_VERSION_INFO".encode("utf-16-le") + b"\0\0"
    at = rsrc.find(key)
    if at < 6:
        raise SystemExit("no VS_VERSION_INFO block")
    start = at - 6
    length = struct.unpack_from("<H", rsrc, start)[0]
    (_, fixed, children, end, _), = list(blocks(rsrc, start, start + length))
    signature, _, file_ms, file_ls, product_ms, product_ls = struct.unpack_from("<6I", fixed)
    if signature != FIXED_SIGNATURE:
        raise SystemExit("the fixed file information has a wrong signature")
    version = lambda ms, ls: "%d.%d.%d.%d" % (ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF)
    strings = {}
    for name, _, table_start, table_end, _ in blocks(rsrc, children, end):
        if name != "StringFileInfo":
            continue
        for language, _, entries_start, entries_end, _ in blocks(rsrc, table_start, table_end):
            if language.upper() == "040904B0":
                for entry, value, _, _, _ in blocks(rsrc, entries_start, entries_end):
                    strings[entry] = value.decode("utf-16-le").rstrip("\0")
    return version(file_ms, file_ls), version(product_ms, product_ls), strings


def main():
    dll, version, description, file_name = sys.argv[1:5]
    with open(dll, "rb") as f:
        data = f.read()
    file_version, product_version, strings = version_info(section(data, b".rsrc"))
    expected = {
        "fixed file version": (file_version, version + ".0"),
        "fixed product version": (product_version, version + ".0"),
        "ProductName": (strings.get("ProductName"), "Quillmere"),
        "ProductVersion": (strings.get("ProductVersion"), version),
        "FileVersion": (strings.get("FileVersion"), version),
        "FileDescription": (strings.get("FileDescription"), description),
        "OriginalFilename": (strings.get("OriginalFilename"), file_name),
    }
    problems = ["%s is %r, not %r" % (name, got, want) for name, (got, want) in expected.items() if got != want]
    if "General Public License" not in strings.get("LegalCopyright", ""):
        problems.append("LegalCopyright names no licence: %r" % strings.get("LegalCopyright"))
    for line in problems:
        print("%s: %s" % (dll, line), file=sys.stderr)
    print("%s: %s" % (dll, ", ".join("%s=%s" % item for item in sorted(strings.items()))))
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
