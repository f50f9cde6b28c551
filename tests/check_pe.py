#!/usr/bin/env python3
"""Checks a built Ventrolik.exe as Windows will see it: machine, GUI
subsystem, imports from Windows' own DLLs only, the version data, the
program icon, and the application manifest.

    check_pe.py Ventrolik.exe i686|x86_64 VERSION
    check_pe.py IO.DLL i686|x86_64      (machine, imports, exports)
"""

import struct
import sys
import xml.etree.ElementTree as ElementTree

MACHINES = {"i686": 0x14C, "x86_64": 0x8664}
WINDOWS_DLLS = {"kernel32.dll", "user32.dll", "gdi32.dll", "msvcrt.dll", "advapi32.dll", "hid.dll", "setupapi.dll"}
PORT_LIBRARY_EXPORTS = ["IsDriverInstalled", "PortOut", "PortWordOut"]
VERSION_STRINGS = {
    "CompanyName": "Kestrova",
    "ProductName": "Project1",
    "InternalName": "Ventrolik",
    "OriginalFilename": "Ventrolik.exe",
}
RT_ICON, RT_VERSION, RT_MANIFEST = 3, 16, 24
ASM_V1, ASM_V2, ASM_V3 = (f"urn:schemas-microsoft-com:asm.v{n}" for n in (1, 2, 3))
SETTINGS_2005 = "http://schemas.microsoft.com/SMI/2005/WindowsSettings"
SETTINGS_2016 = "http://schemas.microsoft.com/SMI/2016/WindowsSettings"
SUPPORTED_OS = {  # Vista, 7, 8, 8.1, 10 and 11
    "{e2011457-1546-43c5-a5fe-008deee3d3f0}", "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",
    "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}", "{1f676c76-80e1-4239-95bb-83d0f6d0da78}",
    "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}",
}

failures = []


def check(condition, what):
    print(("ok: " if condition else "FAIL: ") + what)
    if not condition:
        failures.append(what)


class Image:
    def __init__(self, data):
        self.data = data
        pe = struct.unpack_from("<I", data, 0x3C)[0]
        assert data[pe:pe + 4] == b"PE\0\0", "not a PE file"
        self.machine, sections, _, _, _, optional_size, _ = struct.unpack_from("<HHIIIHH", data, pe + 4)
        optional = pe + 24
        magic = struct.unpack_from("<H", data, optional)[0]
        self.subsystem = struct.unpack_from("<H", data, optional + 68)[0]
        directories = optional + (96 if magic == 0x10B else 112)
        self.directory = [struct.unpack_from("<II", data, directories + 8 * i) for i in range(16)]
        table = optional + optional_size
        self.sections = [struct.unpack_from("<IIII", data, table + 40 * i + 8) for i in range(sections)]

    def offset(self, rva):
        for size, address, raw_size, raw in self.sections:
            if address <= rva < address + max(size, raw_size):
                return rva - address + raw
        raise ValueError(f"RVA {rva:#x} is in no section")

    def string(self, rva):
        start = self.offset(rva)
        return self.data[start:self.data.index(b"\0", start)].decode("ascii")

    def imports(self):
        rva = self.directory[1][0]
        names = []
        while True:
            entry = struct.unpack_from("<IIIII", self.data, self.offset(rva))
            if not any(entry):
                return names
            names.append(self.string(entry[3]))
            rva += 20

    def exports(self):
        table = self.offset(self.directory[0][0])
        count, names = struct.unpack_from("<I4xI", self.data, table + 24)
        return [self.string(struct.unpack_from("<I", self.data, self.offset(names) + 4 * i)[0]) for i in range(count)]

    def resources(self, kind):
        """(number, data) of every resource of one type, in any language."""
        base = self.offset(self.directory[2][0])

        def entries(table):
            named, ids = struct.unpack_from("<HH", self.data, base + table + 12)
            for i in range(named + ids):
                yield struct.unpack_from("<II", self.data, base + table + 16 + 8 * i)

        def leaves(table):
            for _, target in entries(table):
                if target & 0x80000000:
                    yield from leaves(target & 0x7FFFFFFF)
                else:
                    rva, size = struct.unpack_from("<II", self.data, base + target)
                    yield self.data[self.offset(rva):self.offset(rva) + size]

        for ident, target in entries(0):
            if ident == kind:
                for number, languages in entries(target & 0x7FFFFFFF):
                    for data in leaves(languages & 0x7FFFFFFF):
                        yield number, data


def version_blocks(data, start=0):
    """Walks a VS_VERSIONINFO tree: yields (key, value bytes, children)."""
    end = start + struct.unpack_from("<H", data, start)[0]
    length, value_length, text = struct.unpack_from("<HHH", data, start)
    key_end = start + 6
    while data[key_end:key_end + 2] != b"\0\0":
        key_end += 2
    key = data[start + 6:key_end].decode("utf-16-le")
    value_start = (key_end + 2 + 3) & ~3
    value_size = value_length * 2 if text else value_length
    value = data[value_start:value_start + value_size]
    children = []
    child = (value_start + value_size + 3) & ~3
    while child < end:
        children.append(version_blocks(data, child))
        child = (child + struct.unpack_from("<H", data, child)[0] + 3) & ~3
    return key, value, children


def check_library(path, arch):
    image = Image(open(path, "rb").read())
    check(image.machine == MACHINES[arch], f"machine {image.machine:#x} is {arch}")
    imports = image.imports()
    check(all(name.lower() in WINDOWS_DLLS for name in imports), f"imports only Windows' own DLLs: {imports}")
    check(image.exports() == PORT_LIBRARY_EXPORTS, f"exports {PORT_LIBRARY_EXPORTS}, undecorated: {image.exports()}")
    return 1 if failures else 0


def main():
    if sys.argv[1].upper().endswith(".DLL"):
        return check_library(sys.argv[1], sys.argv[2])
    path, arch, version = sys.argv[1], sys.argv[2], sys.argv[3]
    VERSION_STRINGS.update(FileVersion=version, ProductVersion=version)
    major, minor = (int(number) for number in version.split("."))
    image = Image(open(path, "rb").read())

    check(image.machine == MACHINES[arch], f"machine {image.machine:#x} is {arch}")
    check(image.subsystem == 2, "GUI subsystem")
    imports = image.imports()
    check(all(name.lower() in WINDOWS_DLLS for name in imports), f"imports only Windows' own DLLs: {imports}")

    versions = [data for _, data in image.resources(RT_VERSION)]
    check(len(versions) == 1, "one version resource")
    key, fixed, children = version_blocks(versions[0])
    signature, _, file_ms, file_ls, product_ms, product_ls = struct.unpack_from("<6I", fixed)
    check(signature == 0xFEEF04BD and (file_ms, file_ls) == (product_ms, product_ls) == (major << 16 | minor, 0),
          f"numeric file and product version {major}.{minor}.0.0")
    tables = {table[0]: table for block in children if block[0] == "StringFileInfo" for table in block[2]}
    check(list(tables) == ["040904B0"], f"string table in US English, Unicode: {list(tables)}")
    strings = {k: v.decode("utf-16-le").rstrip("\0") for k, v, _ in tables.get("040904B0", ("", b"", []))[2]}
    for name, expected in VERSION_STRINGS.items():
        check(strings.get(name) == expected, f"{name} is {expected!r} (found {strings.get(name)!r})")

    icons = [data for _, data in image.resources(RT_ICON)]
    check(len(icons) == 1, "one icon image")
    if icons:
        _, width, height, _, bits = struct.unpack_from("<IiiHH", icons[0])
        check((width, height // 2, bits, len(icons[0])) == (32, 32, 8, 2216),
              f"icon 32 x 32, 8 bits per pixel, 2216 bytes (found {width} x {height // 2}, {bits}, {len(icons[0])})")

    manifests = list(image.resources(RT_MANIFEST))
    check([number for number, _ in manifests] == [1], "one manifest, resource 24 number 1")
    if manifests:
        root = ElementTree.fromstring(manifests[0][1])
        find = lambda path: [e.text or e.get("Id") or e.get("level") or e.get("name") for e in root.iterfind(path)]
        check(root.tag == f"{{{ASM_V1}}}assembly", "manifest is an assembly")
        check("Microsoft.Windows.Common-Controls" in find(f".//{{{ASM_V1}}}dependentAssembly/{{{ASM_V1}}}assemblyIdentity")
              and root.find(f".//{{{ASM_V1}}}dependentAssembly/{{{ASM_V1}}}assemblyIdentity").get("version") == "6.0.0.0",
              "common controls version 6")
        check(find(f".//{{{ASM_V2}}}requestedExecutionLevel") == ["asInvoker"], "runs as invoker (asm.v2, as XP reads it)")
        check(set(e.get("Id") for e in root.iter("{urn:schemas-microsoft-com:compatibility.v1}supportedOS"))
              == SUPPORTED_OS, "supported from Vista to 10 and 11")
        settings = f"{{{ASM_V3}}}application/{{{ASM_V3}}}windowsSettings"
        check(find(f"{settings}/{{{SETTINGS_2005}}}dpiAware") == ["true/pm"]
              and find(f"{settings}/{{{SETTINGS_2016}}}dpiAwareness") == ["PerMonitorV2, PerMonitor"],
              "per-monitor DPI aware, system-aware before Windows 8.1")

    print(f"{len(failures)} failed" if failures else "all checks passed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
