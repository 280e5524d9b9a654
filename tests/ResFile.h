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
    QString name; // the resource's name, or "#1" for ID 1
    quint16 language = 0; // its language ID, 0x0411 for Japanese
    quint32 size = 0; // the bytes of VS_VERSIONINFO
    QString stringTable; // the block key, "041103A4"
    QMap<QString, QString> strings; // key -> value, trailing NULs removed
    QByteArray translation; // the VarFileInfo Translation value
};

// The first RT_VERSION resource of `res`, or nothing when there is none or
// the file does not parse.
std::optional<VersionResource> readVersionResource(const QByteArray &res);
