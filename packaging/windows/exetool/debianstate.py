"""The date and suites of the state of Debian's archive that the installed build tools come from,
for BUILDINFO.txt (README.md, "Package" and "Verify")."""
import contextlib
import datetime
import email.utils
import os
import re
import subprocess
import textwrap
from dataclasses import dataclass, field

LISTS = "/var/lib/apt/lists"


@dataclass
class State:
    date: datetime.datetime = None  # None when no package is in any list
    suites: list = field(default_factory=list)  # "bookworm-security main of debian-security"
    unlisted: list = field(default_factory=list)  # "osslsigncode 2.9-1~bpo12+1"


def release_date(uri, suite, lists=LISTS):
    """The Date of the Release file apt keeps for `suite` of `uri`."""
    stem = re.sub(r"^[a-z]+://", "", uri).rstrip("/").replace("/", "_")
    for name in (f"{stem}_dists_{suite}_InRelease", f"{stem}_dists_{suite}_Release"):
        with contextlib.suppress(FileNotFoundError), \
                open(os.path.join(lists, name), encoding="utf-8", errors="replace") as file:
            for line in file:
                if line.startswith("Date:"):
                    return email.utils.parsedate_to_datetime(line[5:].strip())


def sources(package, version):
    """(uri, "suite/component") of every archive apt knows that holds
    `package` at `version`."""
    run = subprocess.run(["apt-cache", "madison", package], capture_output=True, text=True)
    rows = [[field.strip() for field in line.split("|")] for line in run.stdout.splitlines()]
    return [tuple(row[2].split()[:2]) for row in rows
            if len(row) == 3 and row[1] == version and len(row[2].split()) >= 2]


def package_state(installed, lists=LISTS, sources_of=sources):
    """The State of `installed`, {package: version}. A version that no list holds (a backport, a
    local build) is named, not guessed at. The date is the newest of the Release files that hold
    the versions, each package counted in the oldest such file: a stable release's Release file
    changes only at its point releases, so everyone with the same versions gets the same date,
    and BUILDINFO.txt stays reproducible."""
    state, oldest = State(), []
    for package, version in sorted(installed.items()):
        held = []
        for uri, where in sources_of(package, version):
            suite, _, component = where.partition("/")
            if date := release_date(uri, suite, lists):
                archive = uri.rstrip("/").rsplit("/", 1)[-1]
                held.append((date, f"{suite} {component or 'main'} of {archive}"))
        if held:
            oldest.append(min(held))
        else:
            state.unlisted.append(f"{package} {version}")
    if oldest:
        state.date = max(date for date, _ in oldest).astimezone(datetime.timezone.utc)
    state.suites = sorted({suite for _, suite in oldest})
    return state


def installed_versions(packages):
    """{package: installed version, or None}."""
    runs = {package: subprocess.run(["dpkg-query", "-W", "-f=${Version}", package],
                                    capture_output=True, text=True) for package in packages}
    return {package: run.returncode == 0 and run.stdout or None for package, run in runs.items()}


def describe(installed, state, architecture):
    """BUILDINFO.txt's account of the packages that made the bytes."""
    lines = [f"Built on Debian ({architecture}) with these packages:",
             *(f"    {package:38} {version or '(not installed)'}"
               for package, version in installed.items()), ""]
    if state.date:
        lines += textwrap.wrap(
            f"Debian's archive held these versions as its Release files of "
            f"{state.date:%Y-%m-%d %H:%M:%S} UTC ({state.date:%Y%m%dT%H%M%SZ}) date it, in "
            f"{', '.join(state.suites)}. Debian's snapshot archive serves the archive as it was "
            "at any time; with those suites as of that time in apt's sources, apt-get install "
            "<package>=<version> installs exactly these versions (README.md of the source, "
            "\"Verifying a download\").", 78, break_on_hyphens=False)
    for package in state.unlisted:
        lines += textwrap.wrap(f"{package} is in none of apt's package lists (a backport or a package "
                      "from elsewhere), so the snapshot archive may not give it back; install "
                      "that version by other means.", 78, break_on_hyphens=False)
    return "\n".join(lines) + "\n"
