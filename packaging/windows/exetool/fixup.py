"""The post-link fix-up (README.md, "Harden"; recipe 4 retires it): GNU ld 2.40 links the load
configuration and the delay-import descriptors but does not point the PE header at them, so that
neither Windows nor any tool would see them. The export table gets the name that ships (the
linker's is the file it wrote); a length of a multiple of 8 and a correct checksum let an
Authenticode signature be attached and removed again exactly."""
import struct

import pe
from linkmap import LinkMapError

CONFIG_SYMBOL = "_load_config_used"
DELAY_END_SYMBOL = "kestrumDelayImportEnd"
DESCRIPTOR_PREFIX = "__DELAY_IMPORT_DESCRIPTOR_"


class FixupError(Exception):
    pass


def fix(data, link_map, name):
    """The fixed bytes of the linked executable `data`, to ship as `name`,
    and notes for the person building it."""
    image = pe.Image(bytearray(data))
    rename(image, name)
    notes = []
    try:
        config = link_map.address(CONFIG_SYMBOL, "load configuration") - image.image_base
        descriptors = sorted(address for name, address in link_map.symbols.items()
                             if name.startswith(DESCRIPTOR_PREFIX))
        if not descriptors:
            raise FixupError("the link map places no delay-import descriptor "
                             f"({DESCRIPTOR_PREFIX}*): no DLL is loaded on first use")
        end = link_map.address(DELAY_END_SYMBOL, "end of the delay-import table")
    except LinkMapError as error:
        raise FixupError(str(error)) from None

    size = struct.unpack("<I", image.read(config, 4))[0]
    point(image, pe.LOAD_CONFIG, "load configuration", config, size, notes)
    if image.dependent_load_flags() != pe.LOAD_LIBRARY_SEARCH_SYSTEM32:
        raise FixupError(f"the load configuration ({CONFIG_SYMBOL}, {size:#x} bytes) does not "
                         "set DependentLoadFlags to LOAD_LIBRARY_SEARCH_SYSTEM32")

    if descriptors != list(range(descriptors[0], end, pe.DELAY_DESCRIPTOR)):
        raise FixupError("the delay-import descriptors do not lie side by side before "
                         f"{DELAY_END_SYMBOL}")
    if any(image.read(end - image.image_base, pe.DELAY_DESCRIPTOR)):
        raise FixupError(f"the delay-import table's end, {DELAY_END_SYMBOL}, is not an empty "
                         "descriptor")
    point(image, pe.DELAY_IMPORT, "delay-import table", descriptors[0] - image.image_base,
          end + pe.DELAY_DESCRIPTOR - descriptors[0], notes)

    image.data.extend(b"\0" * (-len(image.data) % 8))
    struct.pack_into("<I", image.data, image.checksum_offset,
                     pe.checksum(image.data, image.checksum_offset))
    return bytes(image.data), notes


def rename(image, name):
    if (rva := image.export_name_rva()) is None:
        return
    written = image.c_string(rva)
    if len(name) > len(written):
        raise FixupError(f"the export table names the module {written}, too short a name to "
                         f"hold {name}")
    start = image.offset(rva)
    image.data[start:start + len(written)] = name.encode("latin-1").ljust(len(written), b"\0")


def point(image, index, what, rva, size, notes):
    """Points data directory `index` at the table; a linker that already did
    so is noted, one that points elsewhere is an error."""
    current = image.directory(index)
    if current == (0, 0):
        struct.pack_into("<II", image.data, image.directory_offset(index), rva, size)
    elif current[0] == rva:
        notes.append(f"the linker already points the PE header at the {what}; the fix-up "
                     "is not needed for it any more")
    else:
        raise FixupError(f"the linker points the PE header's {what} at {current[0]:#x}, "
                         f"not at Kestrum's at {rva:#x}")
