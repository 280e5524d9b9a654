#include "ProfileFormat.h"

#include "Cp932.h"

namespace {

bool isBlank(char c)
{
    return (c >= '\t' && c <= '\r') || c == ' ' || c == '\x1A';
}

QByteArrayView trimmed(QByteArrayView text)
{
    while (!text.isEmpty() && isBlank(text.front()))
        text = text.sliced(1);
    while (!text.isEmpty() && isBlank(text.back()))
        text.chop(1);
    return text;
}

bool isQuote(char c)
{
    return c == '"' || c == '\'';
}

bool isQuotedPair(QByteArrayView text)
{
    return text.size() >= 2 && isQuote(text.front()) && text.front() == text.back();
}

char asciiLower(char c)
{
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

using ProfileFormat::Text;

bool opensDoubleByte(char c, Text text)
{
    return text == Text::Cp932 && Cp932::isLeadByte(uchar(c));
}

bool sameName(QByteArrayView a, QByteArrayView b, Text text)
{
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i) {
        if (opensDoubleByte(a[i], text) && i + 1 < a.size()) {
            if (a[i] != b[i] || a[i + 1] != b[i + 1])
                return false;
            ++i;
        } else if (asciiLower(a[i]) != asciiLower(b[i])) {
            return false;
        }
    }
    return true;
}

// One line of the file: [begin, end) is its text, [end, next) its line end.
struct Line
{
    qsizetype begin;
    qsizetype end;
    qsizetype next;

    QByteArrayView text(QByteArrayView content) const { return content.sliced(begin, end - begin); }
    bool hasLineEnd() const { return next > end; }
};

Line lineAt(QByteArrayView content, qsizetype begin)
{
    qsizetype end = begin;
    while (end < content.size() && content[end] != '\r' && content[end] != '\n')
        ++end;
    qsizetype next = end;
    if (next < content.size() && content[next] == '\r')
        ++next;
    if (next < content.size() && content[next] == '\n' && (next == end || content[end] == '\r'))
        ++next;
    return { begin, end, next };
}

// The name of a section header line, or nothing for any other line.
std::optional<QByteArrayView> sectionName(QByteArrayView line, Text text)
{
    line = trimmed(line);
    if (line.isEmpty() || line.front() != '[')
        return std::nullopt;
    qsizetype close = 1;
    while (close < line.size() && line[close] != ']')
        close += opensDoubleByte(line[close], text) ? 2 : 1;
    return trimmed(line.sliced(1, std::min(close, line.size()) - 1));
}

struct KeyLine
{
    QByteArrayView key;
    QByteArrayView value;
};

std::optional<KeyLine> keyLine(QByteArrayView line)
{
    const qsizetype equals = line.indexOf('=');
    if (equals < 0)
        return std::nullopt;
    return KeyLine { trimmed(line.first(equals)), trimmed(line.sliced(equals + 1)) };
}

QByteArray storedForm(QByteArrayView value)
{
    const bool needsQuotes = !value.isEmpty()
        && (isBlank(value.front()) || isBlank(value.back()) || isQuotedPair(value));
    return needsQuotes ? '"' + value.toByteArray() + '"' : value.toByteArray();
}

// Where `key` of `section` is in a file, or where it would go.
struct Place
{
    bool sectionFound = false;
    std::optional<Line> keyLine; // the key's line, when there is one
    std::optional<KeyLine> entry; // and what it holds
    Line lastNonBlank {}; // of the section, its header included; set with sectionFound
};

// Only the first matching section counts, and its first matching key.
Place locate(QByteArrayView content, QByteArrayView section, QByteArrayView key, Text text)
{
    Place place;
    for (qsizetype pos = 0; pos < content.size();) {
        const Line line = lineAt(content, pos);
        pos = line.next;
        if (const auto name = sectionName(line.text(content), text)) {
            if (place.sectionFound)
                break;
            place.sectionFound = sameName(*name, section, text);
            place.lastNonBlank = line;
            continue;
        }
        if (!place.sectionFound)
            continue;
        if (const auto entry = keyLine(line.text(content));
            entry && sameName(entry->key, key, text)) {
            place.keyLine = line;
            place.entry = entry;
            break;
        }
        if (!trimmed(line.text(content)).isEmpty())
            place.lastNonBlank = line;
    }
    return place;
}

} // namespace

namespace ProfileFormat {

std::optional<QByteArray> findValue(QByteArrayView content, QByteArrayView section,
                                    QByteArrayView key, Text text)
{
    const Place place = locate(content, trimmed(section), trimmed(key), text);
    if (!place.entry)
        return std::nullopt;
    const QByteArrayView value = place.entry->value;
    return (isQuotedPair(value) ? value.sliced(1, value.size() - 2) : value).toByteArray();
}

QByteArray withValue(const QByteArray &content, QByteArrayView section, QByteArrayView key,
                     QByteArrayView value, Text text)
{
    section = trimmed(section);
    key = trimmed(key);
    const QByteArray stored = storedForm(value);
    const Place place = locate(content, section, key, text);
    QByteArray result = content;

    if (place.keyLine) {
        const Line &line = *place.keyLine;
        return result.replace(line.begin, line.end - line.begin,
                              place.entry->key.toByteArray() + '=' + stored);
    }
    const QByteArray entryLine = key.toByteArray() + '=' + stored + "\r\n";
    if (place.sectionFound) {
        const QByteArray lineEnd = place.lastNonBlank.hasLineEnd() ? QByteArray() : "\r\n";
        return result.insert(place.lastNonBlank.next, lineEnd + entryLine);
    }
    const bool open = !content.isEmpty() && !content.endsWith('\r') && !content.endsWith('\n');
    return result + (open ? "\r\n" : "") + '[' + section.toByteArray() + "]\r\n" + entryLine;
}

bool isStorable(QByteArrayView value)
{
    return !value.contains('\r') && !value.contains('\n') && !value.contains('\0');
}

} // namespace ProfileFormat
