#include "ResFile.h"

#include <QtEndian>

namespace {

constexpr quint16 rtVersion = 16;

class Reader
{
public:
    Reader(const QByteArray &bytes, qsizetype begin, qsizetype end)
        : m_bytes(bytes)
        , m_pos(begin)
        , m_end(end)
    { }

    bool ok() const { return m_ok; }
    qsizetype pos() const { return m_pos; }
    void seek(qsizetype pos) { m_pos = pos; }
    void align4() { m_pos = (m_pos + 3) & ~qsizetype(3); }

    quint16 u16()
    {
        if (m_pos + 2 > m_end) {
            m_ok = false;
            return 0;
        }
        const auto value = qFromLittleEndian<quint16>(m_bytes.constData() + m_pos);
        m_pos += 2;
        return value;
    }

    quint32 u32()
    {
        const quint32 low = u16();
        return low | (quint32(u16()) << 16);
    }

    // A NUL-terminated UTF-16 string.
    QString text()
    {
        QString result;
        while (m_ok) {
            const quint16 unit = u16();
            if (unit == 0)
                break;
            result += QChar(unit);
        }
        return result;
    }

    // An ordinal (0xFFFF then the number) or a name.
    QString nameOrId()
    {
        const quint16 first = u16();
        if (first == 0xFFFF)
            return u"#%1"_qs.arg(u16());
        m_pos -= 2;
        return text();
    }

private:
    const QByteArray &m_bytes;
    qsizetype m_pos;
    qsizetype m_end;
    bool m_ok = true;
};

struct Node
{
    qsizetype end = 0;
    quint16 valueLength = 0;
    quint16 type = 0;
    QString key;
    qsizetype valueBegin = 0;
};

// The header of one version-resource node: wLength, wValueLength, wType, szKey.
Node readNode(Reader &reader)
{
    Node node;
    const qsizetype begin = reader.pos();
    node.end = begin + reader.u16();
    node.valueLength = reader.u16();
    node.type = reader.u16();
    node.key = reader.text();
    reader.align4();
    node.valueBegin = reader.pos();
    return node;
}

QString stringValue(const QByteArray &res, const Node &node)
{
    QString value;
    for (qsizetype pos = node.valueBegin; pos + 1 < node.end; pos += 2)
        value += QChar(qFromLittleEndian<quint16>(res.constData() + pos));
    while (value.endsWith(QChar(0)))
        value.chop(1);
    return value;
}

void readStringFileInfo(const QByteArray &res, Reader &reader, const Node &info,
                        VersionResource &result)
{
    reader.seek(info.valueBegin);
    while (reader.ok() && reader.pos() < info.end) {
        const Node table = readNode(reader);
        result.stringTable = table.key;
        while (reader.ok() && reader.pos() < table.end) {
            const Node entry = readNode(reader);
            result.strings.insert(entry.key, stringValue(res, entry));
            reader.seek(entry.end);
            reader.align4();
        }
        reader.seek(table.end);
        reader.align4();
    }
}

std::optional<VersionResource> readVersionInfo(const QByteArray &res, qsizetype begin,
                                               qsizetype end)
{
    Reader reader(res, begin, end);
    const Node root = readNode(reader);
    if (root.key != u"VS_VERSION_INFO"_qs)
        return std::nullopt;
    VersionResource result;
    reader.seek(root.valueBegin + root.valueLength);
    reader.align4();
    while (reader.ok() && reader.pos() < root.end) {
        const Node child = readNode(reader);
        if (child.key == u"StringFileInfo"_qs)
            readStringFileInfo(res, reader, child, result);
        else if (child.key == u"VarFileInfo"_qs) {
            reader.seek(child.valueBegin);
            const Node var = readNode(reader);
            result.translation = res.mid(var.valueBegin, var.valueLength);
        }
        reader.seek(child.end);
        reader.align4();
    }
    if (!reader.ok())
        return std::nullopt;
    return result;
}

} // namespace

std::optional<VersionResource> readVersionResource(const QByteArray &res)
{
    Reader reader(res, 0, res.size());
    while (reader.ok() && reader.pos() + 8 <= res.size()) {
        const qsizetype headerBegin = reader.pos();
        const quint32 dataSize = reader.u32();
        const quint32 headerSize = reader.u32();
        const QString type = reader.nameOrId();
        const QString name = reader.nameOrId();
        reader.align4();
        reader.u32(); // DataVersion
        reader.u16(); // MemoryFlags
        const quint16 language = reader.u16();
        const qsizetype dataBegin = headerBegin + headerSize;
        if (!reader.ok() || dataBegin + dataSize > res.size())
            return std::nullopt;
        if (type == u"#%1"_qs.arg(rtVersion)) {
            auto result = readVersionInfo(res, dataBegin, dataBegin + dataSize);
            if (result) {
                result->name = name;
                result->language = language;
                result->size = dataSize;
            }
            return result;
        }
        reader.seek(dataBegin + dataSize);
        reader.align4();
    }
    return std::nullopt;
}
