// Arbitrary profile files: a lookup never crashes or hangs, and a write
// changes the one line of its key (or adds it) and nothing else, and the
// value reads back exactly as written.
#include "ProfileFormat.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdio>
#include <cstdlib>

namespace {

using ProfileFormat::Text;

void check(bool condition)
{
    if (!condition)
        std::abort();
}

bool hasLineEnd(QByteArrayView text)
{
    return text.contains('\r') || text.contains('\n');
}

// Only one line of `before` may differ in `after`: whatever lies between the
// common beginning and the common end of the two holds no line end.
void checkOneLineChanged(const QByteArray &before, const QByteArray &after)
{
    qsizetype prefix = 0;
    while (prefix < before.size() && prefix < after.size() && before[prefix] == after[prefix])
        ++prefix;
    qsizetype suffix = 0;
    while (suffix < before.size() - prefix && suffix < after.size() - prefix
           && before[before.size() - 1 - suffix] == after[after.size() - 1 - suffix])
        ++suffix;
    check(!hasLineEnd(QByteArrayView(before).sliced(prefix, before.size() - prefix - suffix)));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const char *const sections[] = { "OPTION", "option", "\x83\x5D", "A]B" };
    static const char *const keys[] = { "COMPANY", "rights", "\x83\x41", "K;" };

    FuzzedDataProvider input(data, size);
    const Text text = input.ConsumeBool() ? Text::Cp932 : Text::Utf8;
    const QByteArray section = input.PickValueInArray(sections);
    const QByteArray key = input.PickValueInArray(keys);
    const std::string valueBytes = input.ConsumeRandomLengthString(80);
    const std::string contentBytes = input.ConsumeRemainingBytesAsString();
    const QByteArray value = QByteArray::fromStdString(valueBytes);
    const QByteArray content = QByteArray::fromStdString(contentBytes);

    (void)ProfileFormat::findValue(content, section, key, text);
    if (!ProfileFormat::isStorable(value))
        return 0;
    // A name holding ']' cannot be a section name in a file (except inside a
    // double-byte character of code page 932), so it only ever gets appended.
    const bool nameReadsBack = !section.contains(']') || (text == Text::Cp932 && section != "A]B");
    const QByteArray after = ProfileFormat::withValue(content, section, key, value, text);
    checkOneLineChanged(content, after);
    if (nameReadsBack && ProfileFormat::findValue(after, section, key, text) != value) {
        std::fprintf(stderr, "value %s\nbefore %s\nafter %s\n", value.toHex(' ').constData(),
                     content.toHex(' ').constData(), after.toHex(' ').constData());
        std::abort();
    }
    return 0;
}
