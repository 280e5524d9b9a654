#pragma once

#include <QByteArray>
#include <QByteArrayList>
#include <QString>

#include <array>

// The resource-compiler script with one VERSIONINFO resource. Everything here
// is bytes: the values arrive already in code page 932 (see Cp932.h), and the
// result is written to disk as it stands.
namespace VersionScript {

constexpr int lineCount = 25;
constexpr int valueCount = 8;
constexpr int firstValueLine = 10;

// The eight string values in the order of the script's value lines:
// CompanyName, FileDescription, FileVersion, InternalName, LegalCopyright,
// OriginalFilename, ProductName, ProductVersion.
using Values = std::array<QByteArray, valueCount>;

constexpr const char *fileName = "Kestrum.rc";

// The 25 fixed lines; lines 10 to 17 are the open value lines.
QByteArrayList buildTemplate();

// The finished script: the template with its value lines completed from
// `values`, every line followed by CR LF.
QByteArray assemble(const QByteArrayList &templateLines, const Values &values);

// Assembles the script and saves it as Kestrum.rc in `directory`, which ends
// in a separator. Raises KestrumError with the user's message on failure,
// leaving any earlier Kestrum.rc as it was.
void make(const QByteArrayList &templateLines, const Values &values, const QString &directory);

} // namespace VersionScript
