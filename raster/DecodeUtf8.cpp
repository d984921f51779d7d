#include "raster/DecodeUtf8.h"

namespace {

bool IsContinuation(unsigned char b) { return b >= 0x80 && b <= 0xC0; }

} // namespace

int DecodeCharacter(const unsigned char* p, int avail, int& used)
{
    unsigned b0 = p[0];
    auto cont = [&](int i) { return i < avail && IsContinuation(p[i]); };
    if (b0 >= 0xC2 && b0 <= 0xDF && cont(1)) {
        used = 2;
        return int(((b0 & 0x1F) << 6) | (p[1] & 0x3F));
    }
    if (b0 >= 0xE0 && b0 <= 0xEF && cont(1) && cont(2)) {
        used = 3;
        return int(((b0 << 12) | ((p[1] & 0x3Fu) << 6) | (p[2] & 0x3Fu)) & 0xFFFF);
    }
    if (b0 >= 0xF0 && b0 <= 0xF4 && cont(1) && cont(2) && cont(3)) {
        used = 4;
        return 0x20; // outside the 16-bit range
    }
    used = 1;
    return int(b0);
}

int Utf8ToUtf16(const unsigned char* s, int n, char16_t* out)
{
    int count = 0;
    for (int i = 0; i < n;) {
        unsigned b0 = s[i];
        unsigned code;
        int extra;
        if (b0 < 0x80) {
            code = b0, extra = 0;
        } else if (b0 >= 0xC2 && b0 <= 0xDF) {
            code = b0 & 0x1F, extra = 1;
        } else if (b0 >= 0xE0 && b0 <= 0xEF) {
            code = b0 & 0x0F, extra = 2;
        } else if (b0 >= 0xF0 && b0 <= 0xF4) {
            code = b0 & 0x07, extra = 3;
        } else {
            return -1;
        }
        if (extra > 0 && i + extra >= n) {
            return -1;
        }
        for (int e = 1; e <= extra; ++e) {
            unsigned b = s[i + e];
            if ((b & 0xC0) != 0x80) {
                return -1;
            }
            code = (code << 6) | (b & 0x3F);
        }
        if ((extra == 2 && (code < 0x800 || (code >= 0xD800 && code < 0xE000))) ||
            (extra == 3 && (code < 0x10000 || code > 0x10FFFF))) {
            return -1;
        }
        if (code >= 0x10000) {
            if (out != nullptr) {
                out[count] = char16_t(0xD800 + ((code - 0x10000) >> 10));
                out[count + 1] = char16_t(0xDC00 + ((code - 0x10000) & 0x3FF));
            }
            count += 2;
        } else {
            if (out != nullptr) {
                out[count] = char16_t(code);
            }
            ++count;
        }
        i += extra + 1;
    }
    return count;
}

bool HasMultiByteSequence(const unsigned char* s)
{
    for (; *s != 0; ++s) {
        if (*s >= 0xC2 && *s <= 0xDF && s[1] >= 0x80 && s[1] <= 0xBF) {
            return true;
        }
        if (*s >= 0xE0 && *s <= 0xF4 && s[1] >= 0x80 && s[1] <= 0xBF && s[2] >= 0x80 && s[2] <= 0xBF) {
            return true;
        }
    }
    return false;
}
