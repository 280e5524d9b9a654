#!/usr/bin/env python3
"""Usage: pe_directories.py <executable> <link map>

Points two of the PE header's data directories at tables that GNU ld links
but leaves unnamed, and brings the header checksum up to date:
- the load configuration, _load_config_used, whose DependentLoadFlags must
  limit the search for the DLLs the executable imports to System32;
- the delay-import descriptors that dlltool's delay-load import libraries
  bring (__DELAY_IMPORT_DESCRIPTOR_*), side by side and ended by an empty one,
  kestrumDelayImportEnd, so that tools and checks see the DLLs loaded on
  first use.
Fails, naming what is missing, if either table is not as it must be."""
import re
import struct
import sys

LOAD_CONFIG = 10  # indexes in the data directories
DELAY_IMPORT = 13
DELAY_DESCRIPTOR = 32  # bytes of one delay-import descriptor
DEPENDENT_LOAD_FLAGS = 0x4E  # offset of the field in IMAGE_LOAD_CONFIG_DIRECTORY64
LOAD_LIBRARY_SEARCH_SYSTEM32 = 0x800


def fail(message):
    sys.exit(f"pe_directories.py: {message}")


def symbols(map_path):
    """Every symbol the link map places, by name."""
    placed = {}
    with open(map_path, encoding="utf-8", errors="replace") as lines:
        for line in lines:
            match = re.fullmatch(r"\s+0x([0-9a-f]+)\s+([A-Za-z_][\w$.]*)\s*", line)
            if match:
                placed[match.group(2)] = int(match.group(1), 16)
    return placed


def address(placed, name, what):
    if name not in placed:
        fail(f"the link map does not place {name}: no {what} was linked")
    return placed[name]


def checksum(image, checksum_offset):
    """The PE checksum: 16-bit one's-complement sum of the file without the
    checksum field, plus the file's length."""
    data = image[:checksum_offset] + b"\0\0\0\0" + image[checksum_offset + 4:]
    data += b"\0" * (len(data) % 2)
    total = 0
    for (word,) in struct.iter_unpack("<H", data):
        total += word
        total = (total & 0xFFFF) + (total >> 16)
    return (total & 0xFFFF) + len(image)


def main(exe_path, map_path):
    with open(exe_path, "rb") as file:
        image = bytearray(file.read())
    pe = struct.unpack_from("<I", image, 0x3C)[0]
    if image[pe:pe + 4] != b"PE\0\0":
        fail(f"{exe_path} is not a PE file")
    sections, optional_size = struct.unpack_from("<H12xH", image, pe + 6)
    optional = pe + 24
    if struct.unpack_from("<H", image, optional)[0] != 0x20B:
        fail(f"{exe_path} is not a 64-bit executable")
    image_base = struct.unpack_from("<Q", image, optional + 24)[0]

    def file_offset(rva):
        for i in range(sections):
            header = optional + optional_size + 40 * i
            virtual_size, virtual_address, raw_size, raw_offset = struct.unpack_from(
                "<4I", image, header + 8)
            if virtual_address <= rva < virtual_address + min(virtual_size, raw_size):
                return raw_offset + rva - virtual_address
        fail(f"{rva:#x} lies in no section of {exe_path}")

    def point(index, rva, size):
        struct.pack_into("<II", image, optional + 112 + 8 * index, rva, size)

    placed = symbols(map_path)
    rva = address(placed, "_load_config_used", "load configuration") - image_base
    offset = file_offset(rva)
    size = struct.unpack_from("<I", image, offset)[0]
    flags = struct.unpack_from("<H", image, offset + DEPENDENT_LOAD_FLAGS)[0]
    if size <= DEPENDENT_LOAD_FLAGS or flags != LOAD_LIBRARY_SEARCH_SYSTEM32:
        fail(f"the load configuration of {exe_path} does not set DependentLoadFlags "
             f"to LOAD_LIBRARY_SEARCH_SYSTEM32 (size {size:#x}, flags {flags:#x})")
    point(LOAD_CONFIG, rva, size)

    descriptors = sorted(address for name, address in placed.items()
                         if name.startswith("__DELAY_IMPORT_DESCRIPTOR_"))
    if not descriptors:
        fail("the link map places no delay-import descriptor: no DLL is loaded on first use")
    end = address(placed, "kestrumDelayImportEnd", "end of the delay-import table")
    expected = list(range(descriptors[0], end, DELAY_DESCRIPTOR))
    if descriptors != expected:
        fail("the delay-import descriptors do not lie side by side before kestrumDelayImportEnd")
    if any(image[file_offset(end - image_base):file_offset(end - image_base) + DELAY_DESCRIPTOR]):
        fail("the delay-import table's end is not an empty descriptor")
    point(DELAY_IMPORT, descriptors[0] - image_base, end + DELAY_DESCRIPTOR - descriptors[0])

    checksum_offset = optional + 64
    struct.pack_into("<I", image, checksum_offset, checksum(image, checksum_offset))
    with open(exe_path, "r+b") as file:
        file.write(image)


if __name__ == "__main__":
    if len(sys.argv) != 3:
        fail(__doc__.splitlines()[0])
    main(*sys.argv[1:])
