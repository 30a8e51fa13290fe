// The terminal-safe spelling of user text: a strict UTF-8 reader that lets through only
// what prints.
#include "text/Printable.h"

namespace text {

namespace {

// The length of the valid UTF-8 sequence starting at s[i] that encodes a printable
// character, or 0 when the byte there must be escaped.
size_t PrintableSequence(std::string_view s, size_t i)
{
    const auto byte = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
    const unsigned char lead = byte(i);
    if (lead >= 0x20 && lead < 0x7F) {
        return 1;
    }
    size_t length = 0;
    unsigned char low = 0x80, high = 0xBF; // the range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80; // no overlong forms
        high = lead == 0xED ? 0x9F : 0xBF; // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF; // nothing past U+10FFFF
    } else {
        return 0; // a control, DEL, a stray continuation, C0/C1 (overlong) or F5..FF
    }
    if (i + length > s.size() || byte(i + 1) < low || byte(i + 1) > high) {
        return 0;
    }
    for (size_t k = 2; k < length; k++) {
        if (byte(i + k) < 0x80 || byte(i + k) > 0xBF) {
            return 0;
        }
    }
    // U+0080..U+009F, the C1 controls, are C2 80..C2 9F: some terminals act on them.
    if (lead == 0xC2 && byte(i + 1) <= 0x9F) {
        return 0;
    }
    return length;
}

} // namespace

std::string Printable(std::string_view raw)
{
    static const char kHex[] = "0123456789abcdef";
    std::string out;
    out.reserve(raw.size());
    for (size_t i = 0; i < raw.size();) {
        if (const size_t n = PrintableSequence(raw, i)) {
            out.append(raw.substr(i, n));
            i += n;
            continue;
        }
        // One byte at a time, so the reader starts afresh at the next.
        const auto b = static_cast<unsigned char>(raw[i++]);
        out += "\\x";
        out += kHex[b >> 4];
        out += kHex[b & 0xF];
    }
    return out;
}

} // namespace text
