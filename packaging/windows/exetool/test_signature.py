import unittest

import crafted
import pe
import signature

UNSIGNED = crafted.Crafted().build()
SIGNED = crafted.attach(UNSIGNED, b"a detached signature")


class Changes(unittest.TestCase):
    def test_what_signing_changed_is_listed(self):
        image = pe.Image(SIGNED)
        self.assertEqual(signature.changes(UNSIGNED, SIGNED), [
            f"{image.checksum_offset:#x}: checksum, 4 bytes: "
            f"{pe.Image(UNSIGNED).checksum:#010x} -> {image.checksum:#010x}",
            f"{image.directory_offset(pe.SECURITY):#x}: certificate-table entry, 8 bytes: "
            f"(0, 0) -> ({len(UNSIGNED):#x}, 32)",
            f"{len(UNSIGNED):#x}: certificate table appended, 32 bytes (a WIN_CERTIFICATE of 28 "
            f"bytes, padded to 8): {len(UNSIGNED)} -> {len(UNSIGNED) + 32} bytes",
            "no other byte differs"])

    def test_a_change_beyond_the_signature_is_named(self):
        signed = bytearray(SIGNED)
        signed[crafted.DATA_OFFSET + 0x700] ^= 1
        image = pe.Image(signed)
        signed[image.checksum_offset:image.checksum_offset + 4] = \
            pe.checksum(signed, image.checksum_offset).to_bytes(4, "little")
        with self.assertRaisesRegex(signature.SignatureError, f"byte at {0x900:#x}, which is "
                                    "neither the checksum nor the certificate-table entry"):
            signature.changes(UNSIGNED, bytes(signed))

    def test_what_is_not_a_signature_appended_is_named(self):
        wrong_checksum = bytearray(SIGNED)
        wrong_checksum[pe.Image(SIGNED).checksum_offset] ^= 1
        cases = [("signed already", SIGNED, SIGNED),
                 ("not appended to the unsigned bytes", UNSIGNED + bytes(8),
                  crafted.attach(UNSIGNED, b"")),
                 ("does not end the file", UNSIGNED, SIGNED + bytes(8)),
                 ("checksum, .*, is wrong", UNSIGNED, bytes(wrong_checksum))]
        for message, before, after in cases:
            with self.subTest(message):
                with self.assertRaisesRegex(signature.SignatureError, message):
                    signature.changes(before, after)


if __name__ == "__main__":
    unittest.main()
