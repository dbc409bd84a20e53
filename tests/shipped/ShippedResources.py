#!/usr/bin/env python3
"""ShippedResources.py EXE X64_MANIFEST: reads the shipped exe back, as the
Windows loader and Explorer find it (no Wine), and checks what they need: a
32-bit x86 GUI image importing only system DLLs, with every resource; a
manifest the side-by-side loader accepts (Wine starts a program whose
manifest Windows refuses), declaring Windows 7 to 11 and the system's DPI;
the version resource of a file's Details. Prints one line per failure and
exits with their count."""
import re
import struct
import sys
import xml.etree.ElementTree as ET

RT_STRING = 6
RT_VERSION = 16
RT_MANIFEST = 24
RESOURCES = {(5, 200): "dialog template 200 (main)", (5, 201): "dialog template 201 (About)",
             (14, 100): "icon group 100", (12, 400): "cursor 400",
             (RT_MANIFEST, 1): "manifest resource 1", (RT_VERSION, 1): "version resource 1"}
ASM_V1 = "{urn:schemas-microsoft-com:asm.v1}"
ASM_V3 = "{urn:schemas-microsoft-com:asm.v3}"
COMPATIBILITY = "{urn:schemas-microsoft-com:compatibility.v1}"
WINDOWS_SETTINGS = "{http://schemas.microsoft.com/SMI/2005/WindowsSettings}"
SUPPORTED_OS = {
    "Windows 10 and 11": "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}",
    "Windows 8.1": "{1f676c76-80e1-4239-95bb-83d0f6d0da78}",
    "Windows 8": "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}",
    "Windows 7": "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",
}
VERSION_STRINGS = {
    "ProductName": "Kestrane",
    "FileVersion": "1.0.0.0",
    "ProductVersion": "1.0.0.0",
    "InternalName": "kestrane.exe",
    "OriginalFilename": "kestrane.exe",
    "CompanyName": "Kestrane authors",
    "LegalCopyright": "Copyright (C) 2026 Kestrane authors",
}
US_ENGLISH_UNICODE = (0x0409, 1200)
SYSTEM_DLLS = {"advapi32.dll", "comctl32.dll", "comdlg32.dll", "gdi32.dll", "kernel32.dll",
               "msvcrt.dll", "ole32.dll", "shell32.dll", "user32.dll"}


def read_image(path):
    """(machine, subsystem, imported DLLs, {(type, name): bytes}) of the PE image
    at path; each resource in its first language."""
    image = open(path, "rb").read()
    pe = struct.unpack_from("<I", image, 0x3C)[0]
    if image[pe:pe + 4] != b"PE\0\0":
        raise ValueError("not a PE image")
    machine, sections, optional_size = struct.unpack_from("<HH12xH", image, pe + 4)
    optional = pe + 24
    magic = struct.unpack_from("<H", image, optional)[0]
    subsystem = struct.unpack_from("<H", image, optional + 68)[0]
    directories = optional + (96 if magic == 0x10B else 112)
    import_rva, resource_rva = struct.unpack_from("<8xI4xI", image, directories)
    table = [struct.unpack_from("<8xIIII", image, optional + optional_size + 40 * i)
             for i in range(sections)]

    def offset(rva):
        for size, address, raw_size, raw in table:
            if address <= rva < address + max(size, raw_size):
                return raw + rva - address
        raise ValueError("address %#x is in no section" % rva)

    dlls, at = [], offset(import_rva)
    while struct.unpack_from("<I", image, at + 12)[0]:
        name = offset(struct.unpack_from("<I", image, at + 12)[0])
        dlls.append(image[name:image.index(b"\0", name)].decode("ascii").lower())
        at += 20
    base = offset(resource_rva)

    def entries(directory):
        named, ids = struct.unpack_from("<12xHH", image, base + directory)
        for i in range(named + ids):
            name, target = struct.unpack_from("<II", image, base + directory + 16 + 8 * i)
            yield name, target

    found = {}
    for type_id, names in entries(0):
        for name_id, languages in entries(names & 0x7FFFFFFF):
            _, data = next(entries(languages & 0x7FFFFFFF))
            rva, size = struct.unpack_from("<II", image, base + data)
            found[(type_id, name_id)] = image[offset(rva):offset(rva) + size]
    return machine, subsystem, dlls, found


def check_manifest(manifest, x64_manifest, fail):
    try:
        root = ET.fromstring(manifest)
    except ET.ParseError as error:
        fail("the manifest is not well-formed XML: %s" % error)
        return
    if root.tag != ASM_V1 + "assembly" or root.get("manifestVersion") != "1.0":
        fail("the manifest's root is %s, manifestVersion %s" % (root.tag, root.get("manifestVersion")))

    def expect(element, where, **attributes):
        if element is None:
            fail("the manifest has no %s" % where)
            return
        for name, want in attributes.items():
            got = element.get(name)
            ok = re.fullmatch(want, got or "") if want.startswith("^") else got == want
            if not ok:
                fail("%s: %s is %r, not %r" % (where, name, got, want))

    expect(root.find(ASM_V1 + "assemblyIdentity"), "assemblyIdentity", type="win32",
           name="^[A-Za-z0-9.]+$", version=r"^\d+\.\d+\.\d+\.\d+$", processorArchitecture="x86")
    expect(root.find("%sdependency/%sdependentAssembly/%sassemblyIdentity" % ((ASM_V1,) * 3)),
           "dependency", type="win32", name="Microsoft.Windows.Common-Controls",
           version="6.0.0.0", processorArchitecture="x86", publicKeyToken="6595b64144ccf1df",
           language="*")
    expect(root.find("%strustInfo/%ssecurity/%srequestedPrivileges/%srequestedExecutionLevel"
                     % ((ASM_V3,) * 4)), "requestedExecutionLevel", level="asInvoker",
           uiAccess="false")

    declared = {e.get("Id", "").lower()
                for e in root.iterfind("%scompatibility/%sapplication/%ssupportedOS"
                                       % ((COMPATIBILITY,) * 3))}
    for name, guid in SUPPORTED_OS.items():
        if guid not in declared:
            fail("the manifest does not declare %s" % name)
    dpi = root.find("%sapplication/%swindowsSettings/%sdpiAware" % (ASM_V3, ASM_V3, WINDOWS_SETTINGS))
    if dpi is None or (dpi.text or "").strip().lower() != "true":
        fail("the manifest does not declare the program DPI-aware")

    as_x86 = x64_manifest.replace(b'processorArchitecture="amd64"', b'processorArchitecture="x86"')
    if as_x86 == x64_manifest:
        fail("the x86-64 manifest names no amd64 processorArchitecture")
    if as_x86 != manifest:
        fail("the x86 and x86-64 manifests differ in more than processorArchitecture")


def read_block(data, at):
    """One block of a version resource: (key, value bytes, children, end)."""
    length, value_length, is_text = struct.unpack_from("<HHH", data, at)
    end = at + length
    key_end = at + 6
    while data[key_end:key_end + 2] != b"\0\0":
        key_end += 2
    key = data[at + 6:key_end].decode("utf-16-le")
    at = (key_end + 2 + 3) & ~3
    value = data[at:at + value_length * (2 if is_text else 1)]
    at = (at + len(value) + 3) & ~3
    children = []
    while at < end:
        children.append(read_block(data, at))
        at = (children[-1][3] + 3) & ~3
    return key, value, children, end


def check_version(data, fail):
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
    tables, translations = {}, []
    for child_key, _, grandchildren, _ in children:
        for table_key, value, strings, _ in grandchildren:
            if child_key == "StringFileInfo":
                tables[table_key.lower()] = {name: text.decode("utf-16-le").rstrip("\0")
                                             for name, text, _, _ in strings}
            elif child_key == "VarFileInfo" and table_key == "Translation":
                translations += [struct.unpack_from("<HH", value, i)
                                 for i in range(0, len(value) - 3, 4)]
    if US_ENGLISH_UNICODE not in translations:
        fail("no US English, Unicode translation: %s" % translations)
    table = tables.get("%04x%04x" % US_ENGLISH_UNICODE)
    if table is None:
        fail("no US English, Unicode string table: %s" % sorted(tables))
        return
    for name, want in VERSION_STRINGS.items():
        if table.get(name) != want:
            fail("%s is %r, not %r" % (name, table.get(name), want))
    if not table.get("FileDescription"):
        fail("no FileDescription")


def main():
    exe, x64_manifest = sys.argv[1:3]
    failures = []
    fail = failures.append
    machine, subsystem, dlls, resources = read_image(exe)
    if machine != 0x14C:
        fail("not an image for i386: machine %#x" % machine)
    if subsystem != 2:
        fail("not the Windows GUI subsystem: %d" % subsystem)
    if not dlls:
        fail("no import of any DLL found")
    for dll in dlls:
        if dll not in SYSTEM_DLLS:
            fail("imports %s, which is not a system DLL" % dll)
    for key, what in RESOURCES.items():
        if key not in resources:
            fail("no " + what)
    if not any(type_id == RT_STRING for type_id, _ in resources):
        fail("no string table")
    if (RT_MANIFEST, 1) in resources:
        check_manifest(resources[(RT_MANIFEST, 1)], open(x64_manifest, "rb").read(), fail)
    if (RT_VERSION, 1) in resources:
        check_version(resources[(RT_VERSION, 1)], fail)
    for failure in failures:
        print("FAILED: " + failure)
    if not failures:
        print("%s: an i386 GUI image; imports %s; every resource; a manifest Windows' loader "
              "accepts; version 1.0.0.0" % (exe, " ".join(dlls)))
    return len(failures)


if __name__ == "__main__":
    sys.exit(main())
