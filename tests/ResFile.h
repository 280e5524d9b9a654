#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>

#include <optional>

// Reads a compiled resource file (.res) far enough to check a version
// resource: the resource headers, then VS_VERSIONINFO, its StringFileInfo and
// the string tables in it.
struct VersionResource
{
    QString name; // the resource's name
    QString stringTable; // the block key, "041103A4"
    QMap<QString, QString> strings; // key -> value, trailing NULs removed
    QByteArray translation; // the VarFileInfo Translation value
};

// The first RT_VERSION resource of `res`, or nothing when there is none or
// the file does not parse.
std::optional<VersionResource> readVersionResource(const QByteArray &res);
