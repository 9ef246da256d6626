#!/usr/bin/env python3
"""Checks the built updater .exe as Windows will see it: ASLR and DEP marked in the
PE header, only system DLLs imported, and the manifest, icon and version
information embedded, with the execution level said explicitly.

    check_updater.py updater.exe
"""
import struct
import sys
import unittest

# DLLs that every Windows from 7 on carries in its system folder.
SYSTEM_DLLS = {"kernel32.dll", "user32.dll", "gdi32.dll", "advapi32.dll", "msvcrt.dll", "comctl32.dll", "shell32.dll"}

IMAGE_DLLCHARACTERISTICS_DYNAMIC_BASE = 0x0040
IMAGE_DLLCHARACTERISTICS_NX_COMPAT = 0x0100
RT_ICON, RT_GROUP_ICON, RT_VERSION, RT_MANIFEST = 3, 14, 16, 24


class PeImage:
    def __init__(self, data):
        self.data = data
        pe = struct.unpack_from("<I", data, 0x3C)[0]
        assert data[pe:pe + 4] == b"PE\0\0", "not a PE image"
        self.machine, sections, _, _, _, optional_size, self.characteristics = struct.unpack_from("<HHIIIHH", data, pe + 4)
        opt = pe + 24
        magic = struct.unpack_from("<H", data, opt)[0]
        self.dll_characteristics = struct.unpack_from("<H", data, opt + 70)[0]
        directories = opt + (96 if magic == 0x10B else 112)
        self.directories = [struct.unpack_from("<II", data, directories + 8 * i) for i in range(16)]
        self.sections = []
        for i in range(sections):
            s = opt + optional_size + 40 * i
            _, vsize, va, rsize, raw = struct.unpack_from("<8sIIII", data, s)
            self.sections.append((va, max(vsize, rsize), raw))

    def offset(self, rva):
        for va, size, raw in self.sections:
            if va <= rva < va + size:
                return rva - va + raw
        raise ValueError(f"RVA {rva:#x} is in no section")

    def cstring(self, rva):
        at = self.offset(rva)
        return self.data[at:self.data.index(b"\0", at)].decode("ascii")

    def imports(self):
        rva = self.directories[1][0]
        names = []
        while True:
            _, _, _, name, _ = struct.unpack_from("<IIIII", self.data, self.offset(rva))
            if name == 0:
                return names
            names.append(self.cstring(name))
            rva += 20

    def resources(self, kind):
        """The data of every resource of one type, all names and languages."""
        base = self.directories[2][0]

        def entries(rva):
            at = self.offset(base + rva)
            named, ids = struct.unpack_from("<HH", self.data, at + 12)
            for i in range(named + ids):
                key, target = struct.unpack_from("<II", self.data, at + 16 + 8 * i)
                yield key, target

        def leaves(target):
            if target & 0x80000000:
                for _, inner in entries(target & 0x7FFFFFFF):
                    yield from leaves(inner)
            else:
                data_rva, size = struct.unpack_from("<II", self.data, self.offset(base + target))
                yield self.data[self.offset(data_rva):self.offset(data_rva) + size]

        for key, target in entries(0):
            if key == kind:
                yield from leaves(target)


class UpdaterImage(unittest.TestCase):
    image = None

    def test_aslr_and_dep_are_marked(self):
        flags = self.image.dll_characteristics
        self.assertTrue(flags & IMAGE_DLLCHARACTERISTICS_DYNAMIC_BASE, "no dynamic base")
        self.assertTrue(flags & IMAGE_DLLCHARACTERISTICS_NX_COMPAT, "not NX compatible")
        self.assertFalse(self.image.characteristics & 0x0001, "relocations were stripped")

    def test_imports_only_system_dlls(self):
        imports = {name.lower() for name in self.image.imports()}
        self.assertTrue(imports)
        self.assertLessEqual(imports, SYSTEM_DLLS)

    def test_manifest_asks_explicitly_for_the_highest_available_level(self):
        manifests = list(self.image.resources(RT_MANIFEST))
        self.assertEqual(len(manifests), 1)
        text = manifests[0].decode("utf-8")
        self.assertIn('requestedExecutionLevel level="highestAvailable"', text)
        self.assertIn("Microsoft.Windows.Common-Controls", text)
        self.assertIn("{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}", text)
        self.assertNotIn("dpiAware", text)

    def test_icon_is_one_32_by_32_image_with_256_colours(self):
        icons = list(self.image.resources(RT_ICON))
        self.assertEqual(len(icons), 1)
        size, width, height, planes, bits = struct.unpack_from("<IiiHH", icons[0], 0)
        self.assertEqual((width, height // 2, bits), (32, 32, 8))
        self.assertEqual(len(list(self.image.resources(RT_GROUP_ICON))), 1)

    def test_version_information_names_the_maker_and_product_in_japanese(self):
        versions = list(self.image.resources(RT_VERSION))
        self.assertEqual(len(versions), 1)
        text = versions[0].decode("utf-16-le", errors="replace")
        for expected in ("KESTRAVO", "ミルカナード", "1.0.0.0", "Copyright"):
            self.assertIn(expected, text)


if __name__ == "__main__":
    with open(sys.argv.pop(1), "rb") as f:
        UpdaterImage.image = PeImage(f.read())
    unittest.main(verbosity=2)
