#include "text/utf8_check.h"

bool isUtf8(const std::string &bytes)
{
    const size_t size = bytes.size();
    for (size_t at = 0; at < size;) {
        const unsigned char lead = static_cast<unsigned char>(bytes[at]);
        if (lead < 0x80) {
            ++at;
            continue;
        }
        // The lead byte sets the length and the second byte's range, which
        // rules out overlong forms, surrogate halves and what lies past
        // U+10FFFF; the other bytes are 0x80 to 0xBF.
        size_t more;
        unsigned char low = 0x80, high = 0xBF;
        if (lead >= 0xC2 && lead <= 0xDF) {
            more = 1;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            more = 2;
            if (lead == 0xE0) low = 0xA0;
            if (lead == 0xED) high = 0x9F;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            more = 3;
            if (lead == 0xF0) low = 0x90;
            if (lead == 0xF4) high = 0x8F;
        } else {
            return false;
        }
        if (size - at <= more) return false;
        for (size_t i = 1; i <= more; ++i) {
            const unsigned char next = static_cast<unsigned char>(bytes[at + i]);
            if (next < (i == 1 ? low : 0x80) || next > (i == 1 ? high : 0xBF)) return false;
        }
        at += more + 1;
    }
    return true;
}
