#!/usr/bin/python3
"""ShippedResources.py [--build-dir DIR]... ARCH=EXE...: reads each exe that
ships back with pefile, as the Windows loader and Explorer find it (no Wine),
and checks what they need (EXE may be a release's zip: then its three entries
too, in order, the texts with CR LF line ends, the licence with the notices of
what the exe links in): a GUI image for ARCH (i386 or amd64) importing only
system DLLs, small, hardened and built the same way anywhere (no link time, no
debug sections or symbols, no DIR it was built in); every resource (the icon's two
sizes); a manifest
the side-by-side loader accepts (Wine starts a program whose manifest Windows
refuses), declaring Windows 7 to 11 and the system's DPI; the version resource
of a file's Details, at the version in VERSION. Prints one line per failure
and exits with their count."""
import argparse
import os
import sys
import xml.etree.ElementTree as ET
import zipfile

import pefile

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..")
VERSION = open(os.path.join(ROOT, "VERSION")).read().strip()
# A zip's LICENSE.txt carries them after the licence, with CR LF line ends.
NOTICES = open(os.path.join(ROOT, "docs", "NOTICES.txt"), "rb").read().replace(b"\n", b"\r\n")
HARDENED = {"DYNAMIC_BASE": 0x40, "NX_COMPAT": 0x100, "TERMINAL_SERVER_AWARE": 0x8000}
# ARCH: machine, optional header magic (PE32, PE32+), the manifest's architecture,
# the DllCharacteristics it must have.
ARCHES = {"i386": (0x14C, 0x10B, "x86", HARDENED),
          "amd64": (0x8664, 0x20B, "amd64", dict(HARDENED, HIGH_ENTROPY_VA=0x20))}
MAX_SIZE = 512 * 1024
RT_STRING, RT_VERSION, RT_MANIFEST = 6, 16, 24
RESOURCES = {(5, 200): "dialog template 200 (main)", (5, 201): "dialog template 201 (About)",
             (14, 100): "icon group 100", (12, 400): "cursor 400",
             (RT_MANIFEST, 1): "manifest resource 1", (RT_VERSION, 1): "version resource 1"}
# An import outside this list reopens DLL planting from the exe's folder.
SYSTEM_DLLS = {"advapi32.dll", "comctl32.dll", "comdlg32.dll", "gdi32.dll", "kernel32.dll",
               "msvcrt.dll", "ole32.dll", "shell32.dll", "user32.dll"}
ASM_V1 = "{urn:schemas-microsoft-com:asm.v1}"
ASM_V3 = "{urn:schemas-microsoft-com:asm.v3}"
COMPATIBILITY = "{urn:schemas-microsoft-com:compatibility.v1}"
WINDOWS_SETTINGS = "{http://schemas.microsoft.com/SMI/2005/WindowsSettings}"
SUPPORTED_OS = {"Windows 10 and 11": "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}",
                "Windows 8.1": "{1f676c76-80e1-4239-95bb-83d0f6d0da78}",
                "Windows 8": "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}",
                "Windows 7": "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}"}
# The US English, Unicode string table of the version resource.
VERSION_STRINGS = {"ProductName": "Kestrane", "FileVersion": VERSION, "ProductVersion": VERSION,
                   "InternalName": "kestrane.exe", "OriginalFilename": "kestrane.exe",
                   "CompanyName": "Kestrane authors",
                   "LegalCopyright": "Copyright (C) 2026 Kestrane authors"}
ZIP_ENTRIES = ["kestrane.exe", "README.txt", "LICENSE.txt"]


def check_image(pe, image, arch, build_dirs, fail):
    machine, magic, _, flags = ARCHES[arch]
    header, optional = pe.FILE_HEADER, pe.OPTIONAL_HEADER
    missing = [name for name, bit in flags.items() if not optional.DllCharacteristics & bit]
    # Sections named past 8 characters ("/4") are mingw's debug sections.
    debug = [s.Name.rstrip(b"\0").decode() for s in pe.sections if s.Name.startswith((b".debug", b"/"))]
    paths = [d for d in build_dirs if d.encode() in image or d.encode("utf-16-le") in image]
    dlls = [entry.dll.decode().lower() for entry in getattr(pe, "DIRECTORY_ENTRY_IMPORT", [])]
    foreign = sorted(set(dlls) - SYSTEM_DLLS)
    for bad, failure in (
            (header.Machine != machine, "machine %#x, not %#x" % (header.Machine, machine)),
            (optional.Magic != magic, "optional header magic %#x, not %#x" % (optional.Magic, magic)),
            (optional.Subsystem != 2, "subsystem %d, not Windows GUI (2)" % optional.Subsystem),
            (missing, "DllCharacteristics %#x without %s" % (optional.DllCharacteristics,
                                                             " ".join(missing))),
            (header.TimeDateStamp, "link time %#x in the header" % header.TimeDateStamp),
            (header.PointerToSymbolTable or header.NumberOfSymbols,
             "a COFF symbol table of %d symbols" % header.NumberOfSymbols),
            (debug, "debug sections " + " ".join(debug)),
            (hasattr(pe, "DIRECTORY_ENTRY_DEBUG"), "a debug directory"),
            (len(image) > MAX_SIZE, "%d bytes, more than %d" % (len(image), MAX_SIZE)),
            (paths, "the build path %s in the image" % " ".join(paths)),
            (not dlls, "no DLL imported"),
            (foreign, "imports DLLs that are not the system's: " + " ".join(foreign))):
        if bad:
            fail(failure)
    return dlls


def read_resources(pe):
    """{(type, name): bytes}, each resource in its first language."""
    found, directory = {}, getattr(pe, "DIRECTORY_ENTRY_RESOURCE", None)
    for kind in directory.entries if directory else []:
        for name in kind.directory.entries:
            entry = name.directory.entries[0].data.struct
            found[(kind.id, name.id)] = pe.get_data(entry.OffsetToData, entry.Size)
    return found


def check_manifest(manifest, arch, fail):
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
            if element.get(name) != want:
                fail("%s: %s is %r, not %r" % (where, name, element.get(name), want))

    architecture = ARCHES[arch][2]
    expect(root.find(ASM_V1 + "assemblyIdentity"), "assemblyIdentity", type="win32",
           name="Kestrane", version=VERSION, processorArchitecture=architecture)
    expect(root.find("%sdependency/%sdependentAssembly/%sassemblyIdentity" % ((ASM_V1,) * 3)),
           "dependency", type="win32", name="Microsoft.Windows.Common-Controls",
           version="6.0.0.0", processorArchitecture=architecture,
           publicKeyToken="6595b64144ccf1df", language="*")
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


def check_version(pe, fail):
    fixed = pe.VS_FIXEDFILEINFO[0]
    if fixed.Signature != 0xFEEF04BD:
        fail("the fixed version information has no signature")
    for what, ms, ls in (("file", fixed.FileVersionMS, fixed.FileVersionLS),
                         ("product", fixed.ProductVersionMS, fixed.ProductVersionLS)):
        version = "%d.%d.%d.%d" % (ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF)
        if version != VERSION:
            fail("%s version %s, not %s" % (what, version, VERSION))
    tables, translations = {}, []
    for info in pe.FileInfo[0]:
        for table in getattr(info, "StringTable", []):
            tables[table.LangID.decode().lower()] = {name.decode(): text.decode()
                                                     for name, text in table.entries.items()}
        translations += [var.entry.get(b"Translation") for var in getattr(info, "Var", [])]
    if "0x0409 0x04b0" not in translations:
        fail("no US English, Unicode translation: %s" % translations)
    table = tables.get("040904b0", {})
    for name, want in VERSION_STRINGS.items():
        if table.get(name) != want:
            fail("%s is %r, not %r" % (name, table.get(name), want))
    if not table.get("FileDescription"):
        fail("no FileDescription")


def read_exe(path, fail):
    if not path.endswith(".zip"):
        return open(path, "rb").read()
    with zipfile.ZipFile(path) as archive:
        names = archive.namelist()
        if names != ZIP_ENTRIES:
            fail("the zip holds %s, not %s" % (names, ZIP_ENTRIES))
        for text in ZIP_ENTRIES[1:]:
            data = archive.read(text) if text in names else b""
            if not data or data.count(b"\n") != data.count(b"\r\n"):
                fail("%s has lines not ended by CR LF" % text)
            if text == "LICENSE.txt" and NOTICES not in data:
                fail("LICENSE.txt lacks the notices of docs/NOTICES.txt")
        return archive.read(ZIP_ENTRIES[0]) if ZIP_ENTRIES[0] in names else None


def check(exe, arch, build_dirs, fail):
    image = read_exe(exe, fail)
    if image is None:
        return [], 0
    pe = pefile.PE(data=image)
    dlls = check_image(pe, image, arch, build_dirs, fail)
    resources = read_resources(pe)
    for key, what in RESOURCES.items():
        if key not in resources:
            fail("no " + what)
    if not any(kind == RT_STRING for kind, _ in resources):
        fail("no string table")
    # The program icon: a 16 x 16 and a 32 x 32 image of 16 colours (4 bits).
    group = resources.get((14, 100), b"")
    entries = [group[6 + 14 * i:20 + 14 * i] for i in range(int.from_bytes(group[4:6], "little"))]
    if group and (sorted((e[0], e[1]) for e in entries) != [(16, 16), (32, 32)]
                  or not all(e[2] == 16 or e[6] == 4 for e in entries)):
        fail("icon group 100 is not a 16 x 16 and a 32 x 32 image of 16 colours")
    if (RT_MANIFEST, 1) in resources:
        check_manifest(resources[(RT_MANIFEST, 1)], arch, fail)
    if (RT_VERSION, 1) in resources:
        check_version(pe, fail)
    return dlls, len(image)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build-dir", action="append", default=[])
    parser.add_argument("exes", nargs="+", metavar="ARCH=EXE")
    args = parser.parse_args()
    failures = 0
    for arch, _, exe in (given.partition("=") for given in args.exes):
        found = []
        dlls, size = check(exe, arch, args.build_dir, found.append)
        for failure in found:
            print("FAILED: %s: %s" % (exe, failure))
        if not found:
            print("%s: an %s GUI image, %d bytes, hardened, no link time, debug sections or build "
                  "path; imports %s; every resource; a manifest Windows' loader accepts; version %s"
                  % (exe, arch, size, " ".join(dlls), VERSION))
        failures += len(found)
    return failures


if __name__ == "__main__":
    sys.exit(main())
