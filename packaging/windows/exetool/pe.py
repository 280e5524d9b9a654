"""Reading a 64-bit Windows executable (PE32+): its headers, data
directories and the DLLs it imports, directly or on first use."""
import struct

# Indexes in the optional header's data directories; SECURITY's is the
# certificate table, an Authenticode signature.
EXPORT, IMPORT, SECURITY, BASE_RELOCATION, LOAD_CONFIG, DELAY_IMPORT = 0, 1, 4, 5, 10, 13

RELOCS_STRIPPED = 0x0001  # COFF characteristics
HIGH_ENTROPY_VA, DYNAMIC_BASE, NX_COMPAT = 0x0020, 0x0040, 0x0100  # DLL characteristics

# IMAGE_LOAD_CONFIG_DIRECTORY64's DependentLoadFlags, a fact of the PE format;
# app/windows/LoadConfiguration.cpp asserts that Windows' header agrees, and
# test_fixup.py that the two name the same offset.
DEPENDENT_LOAD_FLAGS_OFFSET = 0x4E
LOAD_LIBRARY_SEARCH_SYSTEM32 = 0x800

DELAY_DESCRIPTOR = 32  # bytes of one delay-import descriptor


class PeError(Exception):
    pass


class Image:
    """A PE32+ file's bytes and what its headers say of them."""

    def __init__(self, data):
        self.data = data
        try:
            self.pe = struct.unpack_from("<I", data, 0x3C)[0]
            if data[:2] != b"MZ" or data[self.pe:self.pe + 4] != b"PE\0\0":
                raise PeError("not a PE file")
            (self.sections, self.time_stamp, optional_size,
             self.characteristics) = struct.unpack_from("<2xHI8xHH", data, self.pe + 4)
            self.optional = self.pe + 24
            if struct.unpack_from("<H", data, self.optional)[0] != 0x20B:
                raise PeError("not a 64-bit executable")
            self.section_table = self.optional + optional_size
            self.image_base = struct.unpack_from("<Q", data, self.optional + 24)[0]
            self.subsystem_version = struct.unpack_from("<HH", data, self.optional + 48)
            self.checksum_offset = self.optional + 64
            self.checksum = struct.unpack_from("<I", data, self.checksum_offset)[0]
            self.dll_characteristics = struct.unpack_from("<H", data, self.optional + 70)[0]
            self.directory_count = struct.unpack_from("<I", data, self.optional + 108)[0]
        except struct.error:
            raise PeError("its headers are cut short") from None

    def directory(self, index):
        """(rva, size) of data directory `index`; (0, 0) where there is none."""
        if index >= self.directory_count:
            return 0, 0
        return struct.unpack_from("<II", self.data, self.directory_offset(index))

    def directory_offset(self, index):
        return self.optional + 112 + 8 * index

    def offset(self, rva):
        """The file offset of the byte the loader maps at `rva`."""
        for i in range(self.sections):
            virtual_size, address, raw_size, raw_offset = struct.unpack_from(
                "<4I", self.data, self.section_table + 40 * i + 8)
            if address <= rva < address + min(virtual_size, raw_size):
                return raw_offset + rva - address
        raise PeError(f"address {rva:#x} lies in no section")

    def read(self, rva, size):
        start = self.offset(rva)
        if start + size > len(self.data):
            raise PeError(f"address {rva:#x} runs past the end of the file")
        return self.data[start:start + size]

    def c_string(self, rva):
        start = self.offset(rva)
        end = self.data.find(b"\0", start)
        if end < 0:
            raise PeError(f"the name at {rva:#x} has no end")
        return self.data[start:end].decode("latin-1")

    def imports(self, delayed=False):
        """The names of the DLLs the loader loads with the program or, `delayed`,
        on the first call into them."""
        return [dll for dll, _ in self._dlls(delayed)]

    def _dlls(self, delayed):
        """(name, where its function names are) of each DLL it imports."""
        if not delayed:
            for names, _, _, name, thunks in self._table(IMPORT, "<5I"):
                yield self.c_string(name), names or thunks
            return
        for attributes, name, _, _, names, *_ in self._table(DELAY_IMPORT, "<8I"):
            base = 0 if attributes & 1 else self.image_base  # the oldest form holds addresses
            yield self.c_string(name - base), names - base

    def export_name_rva(self):
        """Where the export table names the module, or None without one."""
        rva, _ = self.directory(EXPORT)
        return struct.unpack("<I", self.read(rva + 12, 4))[0] if rva else None

    def imported_functions(self):
        """(DLL, function) for every function imported by name, directly or
        on first use; functions imported by number are left out."""
        return [(dll, function) for delayed in (False, True) for dll, names in self._dlls(delayed)
                for function in self._names(names)]

    def _names(self, rva):
        return [self.c_string((thunk & 0x7FFFFFFF) + 2)  # after the hint
                for (thunk,) in self._entries(rva, "<Q") if not thunk >> 63]

    def _table(self, index, layout):
        rva = self.directory(index)[0]
        return list(self._entries(rva, layout)) if rva else []

    def _entries(self, rva, layout):
        """The entries of a table at `rva` that an all-zero entry ends."""
        size = struct.calcsize(layout)
        while any(entry := struct.unpack(layout, self.read(rva, size))):
            yield entry
            rva += size

    def dependent_load_flags(self):
        """From the load configuration, as far as its own size says; None
        where it holds none."""
        rva, size = self.directory(LOAD_CONFIG)
        if not rva:
            return None
        own_size = struct.unpack("<I", self.read(rva, 4))[0]
        config = self.read(rva, min(own_size, size) if size else own_size)
        if len(config) >= DEPENDENT_LOAD_FLAGS_OFFSET + 2:
            return struct.unpack_from("<H", config, DEPENDENT_LOAD_FLAGS_OFFSET)[0]


def checksum(data, checksum_offset):
    """The PE checksum as Windows' CheckSumMappedFile computes it: the 16-bit
    one's-complement sum of the file with the checksum field taken as 0, plus
    the file's length."""
    words = bytes(data[:checksum_offset]) + b"\0\0\0\0" + bytes(data[checksum_offset + 4:])
    words += b"\0" * (len(words) % 2)
    total = sum(struct.unpack(f"<{len(words) // 2}H", words))
    while total > 0xFFFF:
        total = (total & 0xFFFF) + (total >> 16)
    return total + len(data)
