"""What signing changed in an executable, read from the bytes of the
unsigned and the signed file, either of which may have been downloaded.
Signing may change the checksum and the certificate-table entry and append
the certificate table; any other change means the two are not one build
with and without its signature."""
import struct

import pe

WIN_CERTIFICATE_HEADER = 8  # dwLength, wRevision, wCertificateType

# In Kestrum.exe, whose PE header ld puts at 0x80, the checksum is the 4 bytes
# at 0xd8 and the certificate-table entry the 8 at 0x128; the table goes at the
# unsigned file's old end, which the fix-up made a multiple of 8.


class SignatureError(Exception):
    pass


def certificate_table(image):
    """(offset, size) of the certificate table, which, unlike every other
    directory, is given as a file offset; (0, 0) when unsigned."""
    offset, size = image.directory(pe.SECURITY)
    if offset and offset + size != len(image.data):
        raise SignatureError(f"the certificate table ({size} bytes at {offset:#x}) does not end "
                             "the file")
    return offset, size


def changes(unsigned, signed):
    """What signing changed, as lines to print; anything but the above, the
    table padded to 8 bytes, is an error."""
    before, after = pe.Image(unsigned), pe.Image(signed)
    offset, size = certificate_table(after)
    if certificate_table(before) != (0, 0):
        raise SignatureError("the unsigned executable is signed already")
    if offset != len(unsigned) or size < WIN_CERTIFICATE_HEADER or len(signed) % 8:
        raise SignatureError(f"the signature is not appended to the unsigned bytes, padded to 8: "
                             f"{size} bytes at {offset:#x}, the unsigned file has {len(unsigned)}")
    entry = after.directory_offset(pe.SECURITY)
    for start, end in [(0, after.checksum_offset), (after.checksum_offset + 4, entry),
                       (entry + 8, len(unsigned))]:
        if unsigned[start:end] != signed[start:end]:
            at = next(i for i in range(start, end) if unsigned[i] != signed[i])
            raise SignatureError(f"signing changed the byte at {at:#x}, which is neither the "
                                 "checksum nor the certificate-table entry")
    if after.checksum != pe.checksum(signed, after.checksum_offset):
        raise SignatureError(f"the signed file's checksum, {after.checksum:#x}, is wrong")
    length = struct.unpack_from("<I", signed, offset)[0]
    return [f"{after.checksum_offset:#x}: checksum, 4 bytes: {before.checksum:#010x} -> "
            f"{after.checksum:#010x}",
            f"{entry:#x}: certificate-table entry, 8 bytes: (0, 0) -> ({offset:#x}, {size})",
            f"{offset:#x}: certificate table appended, {size} bytes (a WIN_CERTIFICATE of "
            f"{length} bytes, padded to 8): {len(unsigned)} -> {len(signed)} bytes",
            "no other byte differs"]
