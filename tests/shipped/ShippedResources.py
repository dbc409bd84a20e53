#!/usr/bin/env python3
"""Reads the resources of the program that ships back from its file, as the
Windows loader finds them, and checks what the loader needs of them.

    ShippedResources.py EXE X64_MANIFEST

The manifest: Windows' side-by-side loader refuses to start a program whose
manifest is not well-formed XML or names its assembly or a dependency wrongly
("side-by-side configuration is incorrect"); Wine starts it anyway. So it is
checked here: the program's identity (win32, a name, a four-part version,
x86), the dependency on the common controls 6.0.0.0 for x86 with Microsoft's
public key token, running as the invoker, and that the manifest of the x86-64
test build differs in processorArchitecture only.

Prints one line per failure and exits with their count."""
import re
import struct
import sys
import xml.etree.ElementTree as ET

RT_MANIFEST = 24
ASM_V1 = "{urn:schemas-microsoft-com:asm.v1}"
ASM_V3 = "{urn:schemas-microsoft-com:asm.v3}"


def read_resources(path):
    """{(type, name): bytes} of the PE image at path (the first language of each)."""
    image = open(path, "rb").read()
    pe = struct.unpack_from("<I", image, 0x3C)[0]
    if image[pe:pe + 4] != b"PE\0\0":
        raise ValueError("not a PE image")
    sections, optional_size = struct.unpack_from("<H12xH", image, pe + 6)
    optional = pe + 24
    magic = struct.unpack_from("<H", image, optional)[0]
    directories = optional + (96 if magic == 0x10B else 112)
    resource_rva = struct.unpack_from("<I", image, directories + 2 * 8)[0]
    table = [struct.unpack_from("<8xIIII", image, optional + optional_size + 40 * i)
             for i in range(sections)]

    def offset(rva):
        for size, address, raw_size, raw in table:
            if address <= rva < address + max(size, raw_size):
                return raw + rva - address
        raise ValueError("address %#x is in no section" % rva)

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
    return found


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

    as_x86 = x64_manifest.replace(b'processorArchitecture="amd64"', b'processorArchitecture="x86"')
    if as_x86 == x64_manifest:
        fail("the x86-64 manifest names no amd64 processorArchitecture")
    if as_x86 != manifest:
        fail("the x86 and x86-64 manifests differ in more than processorArchitecture")


def main():
    exe, x64_manifest = sys.argv[1:3]
    failures = []
    fail = failures.append
    resources = read_resources(exe)
    manifest = resources.get((RT_MANIFEST, 1))
    if manifest is None:
        fail("no manifest resource 1")
    else:
        check_manifest(manifest, open(x64_manifest, "rb").read(), fail)
    for failure in failures:
        print("FAILED: " + failure)
    if not failures:
        print("%s: the manifest is one Windows' loader accepts" % exe)
    return len(failures)


if __name__ == "__main__":
    sys.exit(main())
