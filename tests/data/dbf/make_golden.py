#!/usr/bin/env python3
"""Writes golden_level7.dbf byte by byte from the level-7 layout, independently of the engine.

Table: NOMBRE C(10), ORDEN I, ESTAREA L, HORAS O; last update 2026-03-05; three records:
  ("Lengua", 1, true, 1.5), ("Ñu" in Windows-1252, -1, false, -2.0), (all NULL).
"""
import struct
import pathlib

fields = [("NOMBRE", "C", 10), ("ORDEN", "I", 4), ("ESTAREA", "L", 1), ("HORAS", "O", 8)]
header_length = 68 + 48 * len(fields) + 1
record_length = 1 + sum(w for _, _, w in fields)


def level7_int(v):
    return struct.pack(">I", (v & 0xFFFFFFFF) ^ 0x80000000)


def level7_double(d):
    bits = struct.unpack(">Q", struct.pack(">d", d))[0]
    bits = bits ^ (1 << 63) if bits >> 63 == 0 else bits ^ 0xFFFFFFFFFFFFFFFF
    return struct.pack(">Q", bits)


records = [
    b" " + b"Lengua".ljust(10) + level7_int(1) + b"T" + level7_double(1.5),
    b" " + "Ñu".encode("cp1252").ljust(10) + level7_int(-1) + b"F" + level7_double(-2.0),
    b" " + b" " * 10 + b"\0" * 4 + b" " + b"\0" * 8,
]

header = bytearray(68)
header[0] = 0x04
header[1:4] = bytes([2026 - 1900, 3, 5])
header[4:8] = struct.pack("<I", len(records))
header[8:10] = struct.pack("<H", header_length)
header[10:12] = struct.pack("<H", record_length)
header[32:40] = b"DBWINUS0"
for name, kind, width in fields:
    d = bytearray(48)
    d[0:len(name)] = name.encode()
    d[32] = ord(kind)
    d[33] = width
    header += d
header += b"\x0d"
assert len(header) == header_length and all(len(r) == record_length for r in records)

out = pathlib.Path(__file__).with_name("golden_level7.dbf")
out.write_bytes(bytes(header) + b"".join(records) + b"\x1a")
