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

// The keys of the eight values, in the same order.
constexpr std::array<const char *, valueCount> keys
    = { "CompanyName",    "FileDescription",  "FileVersion", "InternalName",
        "LegalCopyright", "OriginalFilename", "ProductName", "ProductVersion" };

// What the user calls each value, for messages: the labels of its edits.
using FieldNames = std::array<QString, valueCount>;

// The resource keys as field names, where no labels are at hand.
FieldNames keyNames();

// The 25 fixed lines; lines 10 to 17 are the open value lines.
QByteArrayList buildTemplate();

// The finished script: the template with its value lines completed from
// `values`, every line followed by CR LF. In a value each '"' is written as
// "" and each backslash as \\, and a control character as its octal escape
// (\015 for CR), so that the compiled string is the value as it stands.
QByteArray assemble(const QByteArrayList &templateLines, const Values &values);

// A compiled version resource (VS_VERSIONINFO) holds its lengths in 16 bits.
constexpr qsizetype maxResourceBytes = 65535;

// The bytes of the version resource that resource compilers make of the
// script for `values`: UTF-16 strings, every block on a 32-bit boundary.
qsizetype resourceBytes(const Values &values);

// Raises KestrumError when the version resource for `values` would be larger
// than maxResourceBytes: past it, compilers silently write wrapped lengths.
// The message names the longest value by its entry in `fieldNames`.
void checkSize(const Values &values, const FieldNames &fieldNames);

// Assembles the script and saves it as Kestrum.rc in `directory`, which ends
// in a separator. Raises KestrumError with the user's message on failure,
// leaving any earlier Kestrum.rc as it was; values that checkSize refuses are
// such a failure, so no script that compilers would corrupt is ever written.
void make(const QByteArrayList &templateLines, const Values &values, const QString &directory,
          const FieldNames &fieldNames = keyNames());

} // namespace VersionScript
