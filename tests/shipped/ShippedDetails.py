#!/usr/bin/env python3
"""Reads back, from the program's file, what Windows shows of it beyond the
window: the version resource (Explorer's Details) and the Windows versions and
DPI awareness its manifest declares.

    ShippedDetails.py EXE

Prints one "FAILED: ..." line per fault and exits with their number.
"""

import re
import struct
import sys

RT_VERSION = 16
RT_MANIFEST = 24

EXPECTED_STRINGS = {
    "ProductName": "Kestrane",
    "FileVersion": "1.0.0.0",
    "ProductVersion": "1.0.0.0",
    "InternalName": "kestrane.exe",
    "OriginalFilename": "kestrane.exe",
    "CompanyName": "Kestrane authors",
    "LegalCopyright": "Copyright (C) 2026 Kestrane authors",
}
# US English, Unicode.
EXPECTED_TRANSLATION = (0x0409, 1200)
SUPPORTED_OS = {
    "Windows 10 and 11": "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}",
    "Windows 8.1": "{1f676c76-80e1-4239-95bb-83d0f6d0da78}",
    "Windows 8": "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}",
    "Windows 7": "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",
}


class PeResources:
    """The resource directory of a PE image: (type, name) -> data bytes."""

    def __init__(self, image):
        self.image = image
        pe = struct.unpack_from("<I", image, 0x3C)[0]
        if image[pe:pe + 4] != b"PE\0\0":
            raise ValueError("not a PE image")
        sections = struct.unpack_from("<H", image, pe + 6)[0]
        optional_size = struct.unpack_from("<H", image, pe + 20)[0]
        optional = pe + 24
        magic = struct.unpack_from("<H", image, optional)[0]
        directories = optional + (96 if magic == 0x10B else 112)
        self.rva = struct.unpack_from("<I", image, directories + 2 * 8)[0]
        self.sections = []
        table = optional + optional_size
        for i in range(sections):
            size, address, raw_size, raw = struct.unpack_from("<IIII", image, table + 40 * i + 8)
            self.sections.append((address, max(size, raw_size), raw))
        self.base = self.offset(self.rva)

    def offset(self, rva):
        for address, size, raw in self.sections:
            if address <= rva < address + size:
                return rva - address + raw
        raise ValueError("address 0x%x is in no section" % rva)

    def entries(self, directory):
        named, ids = struct.unpack_from("<HH", self.image, directory + 12)
        for i in range(named + ids):
            name, target = struct.unpack_from("<II", self.image, directory + 16 + 8 * i)
            yield name, target

    def find(self, rtype, rname=None):
        """The data of the first resource of rtype (and rname), any language."""
        for tname, ttarget in self.entries(self.base):
            if tname != rtype or not ttarget & 0x80000000:
                continue
            for nname, ntarget in self.entries(self.base + (ttarget & 0x7FFFFFFF)):
                if rname is not None and nname != rname:
                    continue
                for _, ltarget in self.entries(self.base + (ntarget & 0x7FFFFFFF)):
                    rva, size = struct.unpack_from("<II", self.image, self.base + ltarget)
                    start = self.offset(rva)
                    return self.image[start:start + size]
        return None


def read_block(data, at):
    """One version block: (key, value bytes, children, end)."""
    length, value_length, is_text = struct.unpack_from("<HHH", data, at)
    end = at + length
    key_end = at + 6
    while data[key_end:key_end + 2] != b"\0\0":
        key_end += 2
    key = data[at + 6:key_end].decode("utf-16-le")
    pos = (key_end + 2 + 3) & ~3
    value_bytes = value_length * 2 if is_text else value_length
    value = data[pos:pos + value_bytes]
    pos = (pos + value_bytes + 3) & ~3
    children = []
    while pos < end:
        child = read_block(data, pos)
        children.append(child)
        pos = (child[3] + 3) & ~3
    return key, value, children, end


def check_version(resources, fail):
    data = resources.find(RT_VERSION, 1)
    if data is None:
        fail("no version resource")
        return
    key, fixed, children, _ = read_block(data, 0)
    if key != "VS_VERSION_INFO" or len(fixed) < 52:
        fail("the version resource is not a VS_VERSION_INFO")
        return
    signature, _, file_ms, file_ls, product_ms, product_ls = struct.unpack_from("<6I", fixed)
    if signature != 0xFEEF04BD:
        fail("the fixed version information has no signature")
    for what, ms, ls in (("file", file_ms, file_ls), ("product", product_ms, product_ls)):
        version = (ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF)
        if version != (1, 0, 0, 0):
            fail("%s version %s, not 1.0.0.0" % (what, ".".join(map(str, version))))

    tables = {}
    translations = []
    for ckey, _, cchildren, _ in children:
        if ckey == "StringFileInfo":
            for tkey, _, strings, _ in cchildren:
                tables[tkey.lower()] = {
                    skey: svalue.decode("utf-16-le").rstrip("\0")
                    for skey, svalue, _, _ in strings}
        elif ckey == "VarFileInfo":
            for vkey, vvalue, _, _ in cchildren:
                if vkey == "Translation":
                    translations += [struct.unpack_from("<HH", vvalue, i)
                                     for i in range(0, len(vvalue) - 3, 4)]
    if EXPECTED_TRANSLATION not in translations:
        fail("no US English, Unicode translation: %s" % translations)
    table = tables.get("%04x%04x" % EXPECTED_TRANSLATION)
    if table is None:
        fail("no US English, Unicode string table: %s" % sorted(tables))
        return
    for name, want in EXPECTED_STRINGS.items():
        if table.get(name) != want:
            fail("%s is %r, not %r" % (name, table.get(name), want))
    if not table.get("FileDescription"):
        fail("no FileDescription")


def check_manifest(resources, fail):
    data = resources.find(RT_MANIFEST, 1)
    if data is None:
        fail("no manifest")
        return
    text = data.decode("utf-8", "replace")
    declared = {m.lower() for m in re.findall(r'<supportedOS\s+Id="([^"]+)"', text)}
    for name, guid in SUPPORTED_OS.items():
        if guid not in declared:
            fail("the manifest does not declare %s" % name)
    if not re.search(r"<dpiAware[^>]*>\s*true\s*</dpiAware>", text):
        fail("the manifest does not declare the program DPI-aware")


def main(argv):
    if len(argv) != 2:
        print(__doc__.strip())
        return 2
    failures = []

    def fail(message):
        print("FAILED: " + message)
        failures.append(message)

    try:
        with open(argv[1], "rb") as f:
            resources = PeResources(f.read())
    except (OSError, ValueError, struct.error) as error:
        fail("can't read the resources of %s: %s" % (argv[1], error))
        return 1
    check_version(resources, fail)
    check_manifest(resources, fail)
    if not failures:
        print("%s: version 1.0.0.0 for Explorer; Windows 7 to 11 and DPI awareness declared"
              % argv[1])
    return len(failures)


if __name__ == "__main__":
    sys.exit(main(sys.argv))
