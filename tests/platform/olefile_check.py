"""Reads a store written by our codec with olefile in its strict mode and checks every stream
(see Tree in CompoundFileTest.cpp): olefile_check.py PATH"""
import sys

import olefile

SIZES = {f"s{size}": size for size in [0, 1, 63, 64, 65, 4095, 4096, 4097, 70000, 7500000]}
SIZES.update({"Inner/t100": 100, "Inner/Deep/Gr\u00fc\u00dfe": 5000})

ole = olefile.OleFileIO(sys.argv[1], raise_defects=olefile.DEFECT_INCORRECT)
found = {"/".join(entry): ole.get_size("/".join(entry)) for entry in ole.listdir(streams=True, storages=False)}
if found != SIZES:
    sys.exit(f"streams differ: {sorted(found.items())}")
for name, size in SIZES.items():
    if ole.openstream(name).read() != bytes((i * 31 + size + (i >> 9)) & 0xFF for i in range(size)):
        sys.exit(f"{name}: other bytes")
if ole.root.clsid != "11223344-5566-7788-0102-030405060708":
    sys.exit(f"class {ole.root.clsid}")
