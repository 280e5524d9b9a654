"""Authenticode, read from the bytes: the digest an executable is signed by,
the digest and signer a detached signature (PKCS#7 SignedData, PEM or DER)
was made for, and what signing changed in an executable.

A detached signature can be attached to another build only if it was made
for the same Authenticode digest; that is checked here, before osslsigncode
is given the two, so that a refusal names both digests."""
import base64
import datetime
import hashlib
import struct

import pe

# DER tags and the object identifiers read here.
SEQUENCE, SET, INTEGER, OCTET_STRING, OID = 0x30, 0x31, 0x02, 0x04, 0x06
UTC_TIME, GENERALIZED_TIME = 0x17, 0x18
CONTEXT_0 = 0xA0
SIGNED_DATA = bytes.fromhex("2a864886f70d010702")  # 1.2.840.113549.1.7.2
INDIRECT_DATA = bytes.fromhex("2b060104018237020104")  # 1.3.6.1.4.1.311.2.1.4
COMMON_NAME = bytes.fromhex("550403")  # 2.5.4.3
DIGESTS = {bytes.fromhex("2b0e03021a"): "sha1",  # 1.3.14.3.2.26
           bytes.fromhex("608648016503040201"): "sha256",  # 2.16.840.1.101.3.4.2.1
           bytes.fromhex("608648016503040202"): "sha384",
           bytes.fromhex("608648016503040203"): "sha512"}

WIN_CERTIFICATE_HEADER = 8  # dwLength, wRevision, wCertificateType


class SignatureError(Exception):
    pass


def authenticode_digest(data, algorithm="sha256"):
    """The digest Authenticode signs: the whole file but its checksum, its
    certificate-table entry and the certificate table, which signing
    changes. The sections are hashed as they lie in the file, as
    osslsigncode does; ld lays them out in order, with nothing between."""
    image = pe.Image(data)
    entry = image.directory_offset(pe.SECURITY)
    if entry + 8 > image.section_table:
        raise SignatureError("the header has no certificate-table entry")
    end = certificate_table(image)[0] or len(data)
    digest = hashlib.new(algorithm)
    digest.update(data[:image.checksum_offset])
    digest.update(data[image.checksum_offset + 4:entry])
    digest.update(data[entry + 8:end])
    return digest.hexdigest()


def certificate_table(image):
    """(offset, size) of the certificate table, which, unlike every other
    directory, is given as a file offset; (0, 0) when unsigned."""
    offset, size = image.directory(pe.SECURITY)
    if offset and offset + size != len(image.data):
        raise SignatureError(f"the certificate table ({size} bytes at {offset:#x}) does not end "
                             "the file")
    return offset, size


class Signature:
    """What a detached Authenticode signature says: the digest algorithm, the
    digest of the executable it was made for, and its signer's name and
    validity."""

    def __init__(self, data):
        data = pem_or_der(data)
        if not data.startswith(bytes([SEQUENCE])):
            raise SignatureError("neither a PEM nor a DER PKCS#7 signature")
        try:
            content_type, signed = children(data, expect(element(data, 0), SEQUENCE))[:2]
            if value(data, content_type, OID) != SIGNED_DATA:
                raise SignatureError("not a PKCS#7 SignedData")
            fields = children(data, expect(children(data, expect(signed, CONTEXT_0))[0],
                                           SEQUENCE))
            self._read_content(data, fields[2])
            certificates = [c for holder in fields[3:-1] if holder[0] == CONTEXT_0
                            for c in children(data, holder)]
            signer = children(data, expect(fields[-1], SET))[0]
            issuer, serial = children(data, children(data, signer)[1])
            self._read_signer(data, certificates, (data[issuer[1]:issuer[2]],
                                                   data[serial[1]:serial[2]]))
        except (IndexError, KeyError, ValueError) as error:
            raise SignatureError(f"not a well-formed PKCS#7 signature ({error})") from None

    def _read_content(self, data, info):
        """SpcIndirectDataContent: what was signed, and its digest."""
        content_type, body = children(data, info)[:2]
        if value(data, content_type, OID) != INDIRECT_DATA:
            raise SignatureError("signs no executable (no SpcIndirectDataContent)")
        digest_info = children(data, expect(children(data, body)[0], SEQUENCE))[1]
        algorithm, digest = children(data, digest_info)
        oid = value(data, children(data, algorithm)[0], OID)
        if oid not in DIGESTS:
            raise SignatureError(f"the digest algorithm ({oid.hex()}) is none of "
                                 f"{', '.join(DIGESTS.values())}")
        self.algorithm = DIGESTS[oid]
        self.digest = value(data, digest, OCTET_STRING).hex()

    def _read_signer(self, data, certificates, issuer_and_serial):
        for certificate in certificates:
            parts = children(data, children(data, certificate)[0])  # tbsCertificate
            if parts[0][0] == CONTEXT_0:  # its version
                parts = parts[1:]
            serial, _, issuer, validity, subject = parts[:5]
            if (data[issuer[1]:issuer[2]], data[serial[1]:serial[2]]) == issuer_and_serial:
                self.signer = common_name(data, subject)
                self.not_before, self.not_after = (time(data, t)
                                                   for t in children(data, validity))
                return
        raise SignatureError("the signer's certificate is not in the signature")

    def check_valid(self, now):
        """Refuses a signature whose signer's certificate is not valid at
        `now`: Windows trusts none made outside the certificate's life."""
        if not self.not_before <= now <= self.not_after:
            state = "expired" if now > self.not_after else "is not yet valid"
            raise SignatureError(f"the signer's certificate ({self.signer}) {state}: it is valid "
                                 f"from {self.not_before:%Y-%m-%d %H:%M} to "
                                 f"{self.not_after:%Y-%m-%d %H:%M} UTC")

    def check_made_for(self, exe):
        digest = authenticode_digest(exe, self.algorithm)
        if digest != self.digest:
            raise SignatureError(f"the digest mismatches: the signature was made for an executable "
                                 f"whose Authenticode {self.algorithm.upper()} is "
                                 f"{self.digest.upper()}, this one's is {digest.upper()}, so it is "
                                 "the signature of another build (another commit or toolchain)")


def changes(unsigned, signed):
    """What signing changed, as lines to print: it may change the checksum
    and the certificate-table entry and append the table, padded to 8
    bytes, and nothing else; anything else is an error."""
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


def pem_or_der(data):
    if data.lstrip().startswith(b"-----BEGIN"):
        lines = data.decode("ascii", "replace").strip().splitlines()
        if not lines[-1].startswith("-----END"):
            raise SignatureError("PEM text without an END line")
        try:
            return base64.b64decode("".join(lines[1:-1]), validate=True)
        except ValueError:
            raise SignatureError("PEM text that is not base64") from None
    return data


def element(data, at):
    """(tag, start, end) of the content of the DER element at `at`."""
    tag, length = data[at], data[at + 1]
    at += 2
    if length & 0x80:
        count = length & 0x7F
        if not 1 <= count <= 4:
            raise ValueError(f"a length at {at - 1:#x} takes {count} bytes")
        length = int.from_bytes(data[at:at + count], "big")
        at += count
    if at + length > len(data):
        raise ValueError(f"an element at {at:#x} runs past the end")
    return tag, at, at + length


def children(data, parent):
    """The elements inside `parent`."""
    found, at = [], parent[1]
    while at < parent[2]:
        found.append(element(data, at))
        at = found[-1][2]
    return found


def expect(found, tag):
    if found[0] != tag:
        raise ValueError(f"expected tag {tag:#x} at {found[1]:#x}, found {found[0]:#x}")
    return found


def value(data, found, tag):
    return data[slice(*expect(found, tag)[1:])]


def common_name(data, name):
    for relative in children(data, name):
        for attribute in children(data, relative):
            oid, text = children(data, attribute)
            if value(data, oid, OID) == COMMON_NAME:
                return "CN=" + data[text[1]:text[2]].decode("utf-8", "replace")
    return "no common name"


def time(data, element):
    text = data[element[1]:element[2]].decode("ascii")
    layout = {UTC_TIME: "%y%m%d%H%M%SZ", GENERALIZED_TIME: "%Y%m%d%H%M%SZ"}[element[0]]
    return datetime.datetime.strptime(text, layout).replace(tzinfo=datetime.timezone.utc)
