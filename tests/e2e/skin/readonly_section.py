"""Clears the write flag of one section of a PE file in place:
    readonly_section.py <dll> <section name>
ld marks .idata writable even when the DLL imports nothing; case_small.dll has
it cleared so that no writable section shares the page of its code."""
import struct
import sys

path, wanted = sys.argv[1], sys.argv[2].encode()
with open(path, "r+b") as f:
    data = bytearray(f.read())
    nt = struct.unpack_from("<I", data, 0x3C)[0]
    count, optional_size = struct.unpack_from("<H", data, nt + 6)[0], struct.unpack_from("<H", data, nt + 20)[0]
    table = nt + 24 + optional_size
    for i in range(count):
        header = table + 40 * i
        if data[header:header + 8].rstrip(b"\0") == wanted:
            flags = struct.unpack_from("<I", data, header + 36)[0]
            struct.pack_into("<I", data, header + 36, flags & ~0x80000000)
            f.seek(0)
            f.write(data)
            sys.exit(0)
sys.exit(f"{path}: no section {sys.argv[2]}")
