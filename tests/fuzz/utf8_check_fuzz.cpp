// Checks the UTF-8 test that decides how a playlist is read against a
// decoding of the same bytes by the bit patterns: a sequence is valid when
// its continuation bytes are there, its value is in the shortest form, no
// surrogate half and not past U+10FFFF.
#include "text/utf8_check.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

bool decodes(const std::uint8_t *bytes, std::size_t size)
{
    for (std::size_t at = 0; at < size;) {
        const std::uint8_t lead = bytes[at];
        std::size_t length;
        std::uint32_t value;
        if (lead >> 7 == 0)
            length = 1, value = lead;
        else if (lead >> 5 == 0x6)
            length = 2, value = lead & 0x1F;
        else if (lead >> 4 == 0xE)
            length = 3, value = lead & 0x0F;
        else if (lead >> 3 == 0x1E)
            length = 4, value = lead & 0x07;
        else
            return false;
        if (at + length > size) return false;
        for (std::size_t i = 1; i < length; ++i) {
            if (bytes[at + i] >> 6 != 0x2) return false;
            value = value << 6 | (bytes[at + i] & 0x3F);
        }
        const std::uint32_t shortest[] = {0, 0, 0x80, 0x800, 0x10000};
        if (value < shortest[length] || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return false;
        at += length;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string bytes(reinterpret_cast<const char *>(data), size);
    if (isUtf8(bytes) != decodes(data, size)) std::abort();
    return 0;
}
