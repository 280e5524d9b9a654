"""The state of Debian's archive that the installed build tools come from,
for BUILDINFO.txt: Debian's point releases replace package versions, and
Debian's snapshot archive serves the archive as it was at any time, so the
date of that state is what gets exactly those versions back.

The date is the newest of the Release files that hold the installed
versions, each package counted in the oldest such file: a stable release's
Release file changes only at its point releases, so everyone with the same
versions gets the same date, and BUILDINFO.txt stays reproducible."""
import datetime
import email.utils
import os
import re
import subprocess

LISTS = "/var/lib/apt/lists"


def release_date(uri, suite, lists=LISTS):
    """The Date of the Release file apt keeps for `suite` of `uri`."""
    stem = re.sub(r"^[a-z]+://", "", uri).rstrip("/").replace("/", "_")
    for name in (f"{stem}_dists_{suite}_InRelease", f"{stem}_dists_{suite}_Release"):
        try:
            with open(os.path.join(lists, name), encoding="utf-8", errors="replace") as file:
                for line in file:
                    if line.startswith("Date:"):
                        return email.utils.parsedate_to_datetime(line[5:].strip())
        except FileNotFoundError:
            continue
    return None


def sources(package, version):
    """(uri, suite) of every archive apt knows that holds `package` at `version`."""
    run = subprocess.run(["apt-cache", "madison", package], capture_output=True, text=True)
    found = []
    for line in run.stdout.splitlines():
        fields = [field.strip() for field in line.split("|")]
        if len(fields) == 3 and fields[1] == version and len(fields[2].split()) >= 2:
            uri, distribution = fields[2].split()[:2]
            found.append((uri, distribution.split("/")[0]))
    return found


def package_state(installed, lists=LISTS, sources_of=sources):
    """(date, "") for `installed`, {package: version}, or (None, why not)."""
    newest = None
    for package, version in sorted(installed.items()):
        dates = [date for uri, suite in sources_of(package, version)
                 if (date := release_date(uri, suite, lists))]
        if not dates:
            return None, f"{package} {version} is in none of apt's package lists"
        oldest = min(dates)
        newest = oldest if newest is None else max(newest, oldest)
    return newest.astimezone(datetime.timezone.utc), ""
