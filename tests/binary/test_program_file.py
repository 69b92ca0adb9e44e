"""Checks the built Tovik.exe files as files: machine, subsystem, imports, icon and version.

The i686 build is the one users get but cannot run here (no 32-bit Wine), so this is how it is
checked at all; the x86_64 build gets the same checks before the end-to-end tests run it.
"""

import os
import pathlib
import re
import struct
import unittest

# COM's libraries are not among them: loading them costs every start, and only the shell's
# delete needs COM, which loads it then.
SYSTEM_DLLS = {"kernel32.dll", "user32.dll", "gdi32.dll", "shell32.dll", "comctl32.dll",
               "advapi32.dll", "msvcrt.dll"}
# The version is the project's, written once in CMakeLists.txt: 1.8.0 is "1.08" in the
# record's strings.
MAJOR, MINOR, PATCH = (int(v) for v in re.search(
    r"project\(Tovik VERSION (\d+)\.(\d+)\.(\d+)",
    (pathlib.Path(__file__).resolve().parents[2] / "CMakeLists.txt").read_text()).groups())
VERSION_STRINGS = {
    "FileDescription": "用于个人资料的保密。",
    "ProductName": "我的Tovik",
    "FileVersion": "%d.%02d" % (MAJOR, MINOR),
    "ProductVersion": "%d.%02d" % (MAJOR, MINOR),
    "InternalName": "Tovik",
    "OriginalFilename": "Tovik.exe",
}
RT_ICON, RT_GROUP_ICON, RT_VERSION, RT_MANIFEST = 3, 14, 16, 24


class PeFile:
    def __init__(self, path):
        self.data = pathlib.Path(path).read_bytes()
        d = self.data
        pe = struct.unpack_from("<I", d, 0x3C)[0]
        assert d[pe:pe + 4] == b"PE\0\0", "no PE signature"
        self.machine, sections, _, _, _, optional_size, self.characteristics = struct.unpack_from(
            "<HHIIIHH", d, pe + 4)
        opt = pe + 24
        self.magic = struct.unpack_from("<H", d, opt)[0]
        self.subsystem, self.dll_characteristics = struct.unpack_from("<HH", d, opt + 68)
        directories = opt + (96 if self.magic == 0x10B else 112)
        self.directories = [struct.unpack_from("<II", d, directories + 8 * i) for i in range(16)]
        self.sections = []
        table = opt + optional_size
        for i in range(sections):
            name, vsize, vaddr, rsize, raddr = struct.unpack_from("<8sIIII", d, table + 40 * i)
            self.sections.append((name.rstrip(b"\0"), vaddr, max(vsize, rsize), raddr))
        self.debug_sections = [s[0] for s in self.sections if s[0].startswith(b".debug")]

    def offset(self, rva):
        for _, vaddr, size, raddr in self.sections:
            if vaddr <= rva < vaddr + size:
                return rva - vaddr + raddr
        raise ValueError("address outside every section")

    def c_string(self, rva):
        start = self.offset(rva)
        return self.data[start:self.data.index(b"\0", start)].decode("ascii")

    def imports(self):
        rva, _ = self.directories[1]
        names, at = [], self.offset(rva)
        while True:
            entry = struct.unpack_from("<IIIII", self.data, at)
            if not any(entry):
                return names
            names.append(self.c_string(entry[3]).lower())
            at += 20

    def resources(self):
        """{(type, name, language): bytes} of the resource tree."""
        base_rva, _ = self.directories[2]
        base = self.offset(base_rva)
        found = {}

        def walk(at, path):
            named, numbered = struct.unpack_from("<HH", self.data, at + 12)
            for i in range(named + numbered):
                ident, target = struct.unpack_from("<II", self.data, at + 16 + 8 * i)
                key = path + (ident,)
                if target & 0x80000000:
                    walk(base + (target & 0x7FFFFFFF), key)
                else:
                    rva, size = struct.unpack_from("<II", self.data, base + target)
                    found[key] = self.data[self.offset(rva):self.offset(rva) + size]

        walk(base, ())
        return found


def version_strings(block):
    """The strings of a VS_VERSIONINFO record, keyed by name, with their table's name."""
    strings = {}

    def parse(at, end, table):
        while at < end:
            length, value_length, kind = struct.unpack_from("<HHH", block, at)
            if length == 0:
                break
            key_end = at + 6
            while block[key_end:key_end + 2] != b"\0\0":
                key_end += 2
            key = block[at + 6:key_end].decode("utf-16-le")
            value_at = (key_end + 2 + 3) & ~3
            # Text values count their length in characters, binary ones in bytes.
            value_bytes = 2 * value_length if kind == 1 else value_length
            if kind == 1 and value_length and table:
                text = block[value_at:value_at + value_bytes].decode("utf-16-le")
                strings[key] = (table, text.rstrip("\0"))
            children = (value_at + value_bytes + 3) & ~3
            parse(children, at + length, key if table is not None else
                  ("" if key == "StringFileInfo" else None))
            at = (at + length + 3) & ~3

    length = struct.unpack_from("<H", block, 0)[0]
    parse(0, length, None)
    return strings


class ProgramFileChecks:
    path = None
    machine = None
    magic = None

    def setUp(self):
        self.pe = PeFile(self.path)

    def test_is_a_gui_program_for_its_machine(self):
        self.assertEqual(self.pe.machine, self.machine)
        self.assertEqual(self.pe.magic, self.magic)
        self.assertEqual(self.pe.subsystem, 2, "Windows GUI subsystem")
        # On a Remote Desktop host, Windows gives a program without the flag a Windows folder of
        # the user's own, where Explorer is not.
        self.assertTrue(self.pe.dll_characteristics & 0x8000, "terminal-server aware")
        self.assertEqual(self.pe.debug_sections, [], "the program file is stripped")

    def test_imports_only_system_dlls(self):
        imports = self.pe.imports()
        self.assertIn("kernel32.dll", imports)
        self.assertEqual(sorted(set(imports) - SYSTEM_DLLS), [])

    def test_holds_no_start_up_timeline(self):
        # The benchmark's build of the program notes its start-up steps in a file beside it;
        # the program users get has none of that code, nor the steps' names.
        self.assertNotIn(".timeline".encode("utf-16-le"), self.pe.data)
        self.assertNotIn(b"single_instance", self.pe.data)

    def test_carries_the_version_record_one_icon_and_a_manifest(self):
        resources = self.pe.resources()
        versions = [v for k, v in resources.items() if k[0] == RT_VERSION]
        self.assertEqual(len(versions), 1)
        block = versions[0]
        fixed = block.index(struct.pack("<I", 0xFEEF04BD))
        file_ms, file_ls, product_ms, product_ls = struct.unpack_from("<IIII", block, fixed + 8)
        self.assertEqual((file_ms, file_ls), (MAJOR << 16 | MINOR, PATCH << 16))
        self.assertEqual((product_ms, product_ls), (MAJOR << 16 | MINOR, PATCH << 16))
        strings = version_strings(block)
        for key, text in VERSION_STRINGS.items():
            self.assertEqual(strings.get(key), ("080404B0", text), key)
        self.assertEqual(len([k for k in resources if k[0] == RT_GROUP_ICON]), 1)
        manifest = [v for k, v in resources.items() if k[0] == RT_MANIFEST][0].decode("utf-8")
        for needle in ("Microsoft.Windows.Common-Controls", 'version="6.0.0.0"', "asInvoker",
                       "<dpiAware", ">PerMonitorV2, System</dpiAwareness>",
                       'name="Tovik" version="%d.%d.%d.0"' % (MAJOR, MINOR, PATCH)):
            self.assertIn(needle, manifest)
        # Windows 7, 8, 8.1 and 10/11 are declared: no compatibility behaviour applies.
        for system in ("35138b9a-5d96-4fbd-8e2d-a2440225f93a", "4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38",
                       "1f676c76-80e1-4239-95bb-83d0f6d0da78", "8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a"):
            self.assertIn('<supportedOS Id="{%s}"/>' % system, manifest)
        # The program's one icon holds the sizes the system asks for at 100 to 200 % (the large one
        # at 125 % is made from 48).
        icons = [v for k, v in resources.items() if k[0] == RT_ICON]
        sizes = sorted({struct.unpack_from("<i", icon, 4)[0] for icon in icons})
        self.assertEqual(sizes, [16, 20, 24, 32, 48, 64])


class I686ProgramFile(ProgramFileChecks, unittest.TestCase):
    path = os.environ.get("TOVIK_EXE_I686")
    machine = 0x14C  # Intel 386
    magic = 0x10B    # PE32


    # 199 KiB until the program waited as Windows waits (the busy state, the questions asked off
    # the window's thread), knew every shape of elevation and deleted long paths: 17 KiB more.
    def test_stays_small(self):
        self.assertLessEqual(len(self.pe.data), 217 * 1024)


class X86_64ProgramFile(ProgramFileChecks, unittest.TestCase):
    path = os.environ.get("TOVIK_EXE_X86_64")
    machine = 0x8664
    magic = 0x20B    # PE32+


if __name__ == "__main__":
    unittest.main()
