"""Reads a store written by our codec with olefile in its strict mode and checks every stream
(see InteropTree in CompoundFileTest.cpp): olefile_check.py PATH"""
import sys

import olefile

SIZES = [0, 1, 63, 64, 65, 4095, 4096, 4097, 70000, 7500000]


def content(size):
    return bytes((i * 31 + size) & 0xFF for i in range(size))


def main(path):
    ole = olefile.OleFileIO(path, raise_defects=olefile.DEFECT_INCORRECT)
    expected = {f"s{size}": size for size in SIZES}
    expected["Inner/t100"] = 100
    expected["Inner/Deep/Gr\u00fc\u00dfe"] = 5000
    found = {"/".join(entry): ole.get_size("/".join(entry)) for entry in ole.listdir(streams=True, storages=False)}
    if set(found) != set(expected):
        sys.exit(f"streams differ: {sorted(found)}")
    for name, size in expected.items():
        data = ole.openstream(name).read()
        if len(data) != size or found[name] != size or data != content(size):
            sys.exit(f"{name}: {len(data)} bytes, expected {size}")
    if ole.root.clsid != "11223344-5566-7788-0102-030405060708":
        sys.exit(f"class {ole.root.clsid}")
    print(f"olefile {olefile.__version__} read {len(found)} streams")


if __name__ == "__main__":
    main(sys.argv[1])
