// The code page 932 boundary: bytes that decode give text that encodes back
// to bytes that decode to the same text; text that encodes decodes back; and
// text that does not encode is refused with a message, never substituted.
#include "Cp932.h"
#include "KestrumError.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdlib>
#include <cstring>

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider input(data, size);
    if (input.ConsumeBool()) {
        const std::string bytes = input.ConsumeRemainingBytesAsString();
        const std::optional<QString> text = Cp932::decode(QByteArray::fromStdString(bytes));
        if (!text)
            return 0;
        const std::optional<QByteArray> again = Cp932::tryEncode(*text);
        check(again.has_value());
        check(Cp932::decode(*again) == text);
        return 0;
    }

    const std::string rest = input.ConsumeRemainingBytesAsString();
    std::vector<char16_t> units(rest.size() / 2);
    if (!units.empty())
        std::memcpy(units.data(), rest.data(), units.size() * sizeof(char16_t));
    const QString text(reinterpret_cast<const QChar *>(units.data()), qsizetype(units.size()));
    const std::optional<QByteArray> bytes = Cp932::tryEncode(text);
    try {
        const QByteArray encoded = Cp932::encode(text, QStringLiteral("F"));
        check(bytes == encoded);
        const std::optional<QString> decoded = Cp932::decode(encoded);
        check(decoded.has_value());
        check(decoded->size() == text.size());
        check(Cp932::tryEncode(*decoded) == encoded);
    } catch (const KestrumError &error) {
        check(!bytes.has_value());
        check(error.message().startsWith(QStringLiteral("F ")));
    }
    return 0;
}
