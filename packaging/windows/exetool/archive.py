"""The download's zip, the same bytes for the same members whoever writes it:
members in the order given, with fixed permissions, dated at one time."""
import sys
import time
import zipfile

# A zip time is a local date and time from 1980 to 2107, in steps of two
# seconds; it is written as the UTC time, so the time zone does not matter.
FIRST, LAST = 315532800, 4354819198


def windows_text(data):
    """Text as Notepad on every Windows reads it: UTF-8 with a byte-order
    mark and CR LF line ends, whatever the line ends it came with."""
    data = data.removeprefix(b"\xef\xbb\xbf").replace(b"\r\n", b"\n")
    return b"\xef\xbb\xbf" + data.replace(b"\n", b"\r\n")


def write(path, epoch, members):
    """`members`: (name in the zip, bytes) pairs; .txt members are written as
    Windows text."""
    if not FIRST <= epoch <= LAST:
        print(f"exetool zip: SOURCE_DATE_EPOCH {epoch} is outside the years a zip can date "
              f"(1980 to 2107); the members are dated {'1980' if epoch < FIRST else '2107'}",
              file=sys.stderr)
    date = time.gmtime(min(max(epoch, FIRST), LAST))[:6]
    with zipfile.ZipFile(path, "w") as archive:
        for name, data in members:
            text = name.endswith(".txt")
            info = zipfile.ZipInfo(name, date)
            info.create_system = 3  # Unix, so that the permissions below count
            executable = name.endswith(".exe")
            info.external_attr = (0o100000 | (0o755 if executable else 0o644)) << 16
            info.compress_type = zipfile.ZIP_DEFLATED
            archive.writestr(info, windows_text(data) if text else data, compresslevel=9)
