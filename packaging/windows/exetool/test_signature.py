import base64
import datetime
import unittest

import crafted
import pe
import signature

UNSIGNED = crafted.Crafted().build()


def made_for(executable, **change):
    return crafted.detached_signature(
        bytes.fromhex(signature.authenticode_digest(executable)), **change)


class Digest(unittest.TestCase):
    def test_signing_leaves_the_digest_and_every_other_byte(self):
        signed = crafted.attach(UNSIGNED, made_for(UNSIGNED))
        self.assertEqual(signature.authenticode_digest(signed),
                         signature.authenticode_digest(UNSIGNED))
        self.assertEqual(signature.changes(UNSIGNED, signed)[-1], "no other byte differs")

    def test_a_changed_byte_changes_the_digest(self):
        changed = bytearray(UNSIGNED)
        changed[crafted.DATA_OFFSET + 0x700] ^= 1
        self.assertNotEqual(signature.authenticode_digest(bytes(changed)),
                            signature.authenticode_digest(UNSIGNED))

    def test_a_change_beyond_the_signature_is_named(self):
        signed = bytearray(crafted.attach(UNSIGNED, made_for(UNSIGNED)))
        signed[crafted.DATA_OFFSET + 0x700] ^= 1
        image = pe.Image(signed)
        signed[image.checksum_offset:image.checksum_offset + 4] = \
            pe.checksum(signed, image.checksum_offset).to_bytes(4, "little")
        with self.assertRaisesRegex(signature.SignatureError, f"byte at {0x900:#x}, which is "
                                    "neither the checksum nor the certificate-table entry"):
            signature.changes(UNSIGNED, bytes(signed))


    def test_what_is_not_a_signature_appended_is_named(self):
        signed = crafted.attach(UNSIGNED, made_for(UNSIGNED))
        longer = UNSIGNED + bytes(8)
        cases = [("signed already", signed, signed),
                 ("not appended to the unsigned bytes", longer, crafted.attach(UNSIGNED, b"")),
                 ("does not end the file", UNSIGNED, signed + bytes(8))]
        for message, before, after in cases:
            with self.subTest(message):
                with self.assertRaisesRegex(signature.SignatureError, message):
                    signature.changes(before, after)


class Detached(unittest.TestCase):
    def test_what_a_signature_says_is_read(self):
        found = signature.Signature(made_for(UNSIGNED))
        self.assertEqual((found.algorithm, found.digest, found.signer),
                         ("sha256", signature.authenticode_digest(UNSIGNED),
                          "CN=Kestrum Test Signer"))
        self.assertEqual(found.not_after, datetime.datetime(2035, 12, 31, 23, 59, 59,
                                                            tzinfo=datetime.timezone.utc))
        found.check_made_for(UNSIGNED)
        found.check_made_for(crafted.attach(UNSIGNED, made_for(UNSIGNED)))

    def test_pem_reads_as_der(self):
        der = made_for(UNSIGNED)
        text = base64.encodebytes(der).decode()
        pem = f"-----BEGIN PKCS7-----\n{text}-----END PKCS7-----\n".encode()
        self.assertEqual(signature.Signature(pem).digest, signature.Signature(der).digest)

    def test_a_signature_of_another_build_names_both_digests(self):
        other = crafted.Crafted(text=b"another commit").build()
        theirs, ours = (signature.authenticode_digest(e).upper() for e in (other, UNSIGNED))
        with self.assertRaisesRegex(signature.SignatureError, f"digest mismatches: .* is {theirs}, "
                                    f"this one's is {ours}"):
            signature.Signature(made_for(other)).check_made_for(UNSIGNED)

    def test_a_digest_of_another_algorithm_is_computed_with_it(self):
        sha1 = bytes.fromhex("2b0e03021a")
        found = signature.Signature(crafted.detached_signature(b"\0" * 20, algorithm=sha1))
        self.assertEqual(found.algorithm, "sha1")
        with self.assertRaisesRegex(signature.SignatureError, "SHA1 is 0000"):
            found.check_made_for(UNSIGNED)

    def test_a_certificate_used_outside_its_life_is_refused(self):
        found = signature.Signature(made_for(UNSIGNED, valid=("200101000000Z", "210101000000Z")))
        now = datetime.datetime(2026, 1, 1, tzinfo=datetime.timezone.utc)
        with self.assertRaisesRegex(signature.SignatureError, r"\(CN=Kestrum Test Signer\) "
                                    "expired: it is valid from 2020-01-01 00:00 to 2021-01-01"):
            found.check_valid(now)
        with self.assertRaisesRegex(signature.SignatureError, "is not yet valid"):
            found.check_valid(datetime.datetime(2019, 1, 1, tzinfo=datetime.timezone.utc))
        signature.Signature(made_for(UNSIGNED)).check_valid(now)

    def test_what_is_no_signature_is_refused(self):
        good = made_for(UNSIGNED)
        cases = [("neither a PEM nor a DER", UNSIGNED),
                 ("not a well-formed", good[:len(good) // 2]),
                 ("without an END line", b"-----BEGIN PKCS7-----\nMIIB\n"),
                 ("not a PKCS#7 SignedData", good.replace(bytes.fromhex("2a864886f70d010702"),
                                                          bytes.fromhex("2a864886f70d010701"))),
                 ("signer's certificate is not in", made_for(UNSIGNED, with_certificate=False))]
        for message, data in cases:
            with self.subTest(message):
                with self.assertRaisesRegex(signature.SignatureError, message):
                    signature.Signature(data)


if __name__ == "__main__":
    unittest.main()
