"""Small crafted inputs for exetool's tests: a PE32+ file with just the
tables the tools read, and the link map that would place them."""
import struct
from dataclasses import dataclass, field

import pe

IMAGE_BASE = 0x140000000
DATA_RVA, DATA_OFFSET, DATA_SIZE = 0x1000, 0x200, 0x800
RELOC_RVA, RELOC_OFFSET = 0x2000, 0xA00


@dataclass
class Crafted:
    """A well-formed executable; each field can be spoilt by one test."""
    dll_characteristics: int = pe.HIGH_ENTROPY_VA | pe.DYNAMIC_BASE | pe.NX_COMPAT
    relocations: bool = True
    time_stamp: int = 0
    subsystem_version: tuple = (6, 2)
    imports: list = field(default_factory=lambda: [("KERNEL32.dll", "GetLastError")])
    delay_imports: list = field(default_factory=lambda: [("UxTheme.dll", "OpenThemeData")])
    dependent_load_flags: int = pe.LOAD_LIBRARY_SEARCH_SYSTEM32
    # The directories the fix-up fills in; the linker leaves them empty.
    point_to_config: bool = True
    point_to_delay_table: bool = True
    text: bytes = b""  # more bytes in the data section, strings of the build say
    extra: bytes = b""  # bytes after the last section
    wrong_checksum: bool = False
    export_name: str = "Kestrum-linked.exe"  # the linker's; the fix-up renames it

    def build(self):
        data = bytearray(DATA_SIZE)
        at = [0]

        def place(content, align=8):
            at[0] += -at[0] % align
            rva = DATA_RVA + at[0]
            data[at[0]:at[0] + len(content)] = content
            at[0] += len(content)
            return rva

        def names(functions):
            thunks = [place(b"\0\0" + name.encode() + b"\0", 2) for name in functions]
            return place(b"".join(struct.pack("<Q", t) for t in thunks + [0]))

        directories = {}
        name = place(self.export_name.encode() + b"\0")
        directories[pe.EXPORT] = (place(struct.pack("<IIHHI", 0, 0, 0, 0, name) + bytes(20)), 40)
        imports = [(place(dll.encode() + b"\0"), names([fn])) for dll, fn in self.imports]
        directories[pe.IMPORT] = (place(b"".join(struct.pack("<5I", table, 0, 0, name, table)
                                                 for name, table in imports) + bytes(20)), 0)
        lazy = [(place(dll.encode() + b"\0"), names([fn])) for dll, fn in self.delay_imports]
        self.delay_table = place(b"".join(struct.pack("<8I", 1, name, 0, table, table, 0, 0, 0)
                                          for name, table in lazy), 16)
        self.delay_end = place(bytes(32), 16)
        config = bytearray(0x94)
        struct.pack_into("<I", config, 0, len(config))
        struct.pack_into("<H", config, pe.DEPENDENT_LOAD_FLAGS_OFFSET, self.dependent_load_flags)
        self.config = place(bytes(config), 16)
        place(self.text)
        if self.point_to_config:
            directories[pe.LOAD_CONFIG] = (self.config, len(config))
        if self.point_to_delay_table:
            directories[pe.DELAY_IMPORT] = (self.delay_table, self.delay_end + 32 - self.delay_table)
        if self.relocations:
            directories[pe.BASE_RELOCATION] = (RELOC_RVA, 12)

        sections = [(b".rdata", DATA_RVA, DATA_SIZE, DATA_OFFSET, 0x40000040),
                    (b".reloc", RELOC_RVA, 0x200, RELOC_OFFSET, 0x42000040)]
        image = bytearray(RELOC_OFFSET + 0x200)
        image[:2], image[0x3C:0x40] = b"MZ", struct.pack("<I", 0x40)
        image[0x40:0x44] = b"PE\0\0"
        struct.pack_into("<HHIIIHH", image, 0x44, 0x8664, len(sections), self.time_stamp, 0, 0,
                         240, 0x22 | (0 if self.relocations else pe.RELOCS_STRIPPED))
        optional = 0x58
        struct.pack_into("<HBB5IQ2I6H4I2H4Q2I", image, optional, 0x20B, 2, 40, 0, DATA_SIZE, 0,
                         0, DATA_RVA, IMAGE_BASE, 0x1000, 0x200, 6, 0, 0, 0,
                         *self.subsystem_version, 0, 0x3000, 0x200, 0, 2,
                         self.dll_characteristics, 0x100000, 0x1000, 0x100000, 0x1000, 0, 16)
        for index, (rva, size) in directories.items():
            struct.pack_into("<II", image, optional + 112 + 8 * index, rva, size or 1)
        for i, (name, rva, size, offset, flags) in enumerate(sections):
            struct.pack_into("<8s6I2HI", image, optional + 240 + 40 * i, name, size, rva, size,
                             offset, 0, 0, 0, 0, flags)
        image[DATA_OFFSET:DATA_OFFSET + DATA_SIZE] = data
        struct.pack_into("<IIHH", image, RELOC_OFFSET, DATA_RVA, 12, 0xA000, 0)
        image += self.extra
        checksum = pe.checksum(image, optional + 64) + self.wrong_checksum
        struct.pack_into("<I", image, optional + 64, checksum)
        return bytes(image)

    def link_map(self, descriptors=True, stack_protector=True):
        """The map a link of this executable would leave."""
        self.build()
        def at(rva):
            return f"0x{IMAGE_BASE + rva:016x}"
        lines = ["Archive member included to satisfy reference by file (symbol)", "",
                 "Linker script and memory map", "",
                 f".rdata          {at(DATA_RVA)}      0x{DATA_SIZE:x}",
                 f" .rdata         {at(self.config)}       0x94 "
                 "app/CMakeFiles/Kestrum.dir/windows/LoadConfiguration.cpp.obj",
                 f"                {at(self.config)}                _load_config_used"]
        if descriptors:
            for i, (dll, _) in enumerate(self.delay_imports):
                stem = dll.lower().removesuffix(".dll")
                lines += [" .text$2", f"                {at(self.delay_table + 32 * i)}"
                          f"       0x20 delay-load/lib{stem}.a(d{stem}_d000001.o)",
                          f"                {at(self.delay_table + 32 * i)}"
                          f"                __DELAY_IMPORT_DESCRIPTOR_{stem}"]
        lines.append(f"                {at(self.delay_end)}                kestrumDelayImportEnd")
        if stack_protector:
            lines += [".text           0x0000000140003000     0x40",
                      " .text          0x0000000140003000       0x40 "
                      "/usr/lib/gcc/x86_64-w64-mingw32/12-posix/libssp.a(ssp.o)",
                      "                0x0000000140003000                __stack_chk_fail"]
        return "\n".join(lines) + "\n"


def attach(executable, signature):
    """`executable` with `signature` attached as Authenticode does it: the
    certificate table (a WIN_CERTIFICATE) appended, padded to 8 bytes, the
    header pointing at it and the checksum updated."""
    image = pe.Image(bytearray(executable))
    table = struct.pack("<IHH", 8 + len(signature), 0x200, 2) + signature
    table += b"\0" * (-len(table) % 8)
    struct.pack_into("<II", image.data, image.directory_offset(pe.SECURITY), len(executable),
                     len(table))
    image.data += table
    struct.pack_into("<I", image.data, image.checksum_offset,
                     pe.checksum(image.data, image.checksum_offset))
    return bytes(image.data)
