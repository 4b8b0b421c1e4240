#include "support/codepage.h"

#include <iconv.h>

#include <cerrno>
#include <cstdint>
#include <memory>

namespace kestrane::support {

long DecodeUtf8(std::string_view s, std::size_t& i) {
    const auto b0 = static_cast<unsigned char>(s[i]);
    if (b0 < 0x80) {
        ++i;
        return b0;
    }
    int len;
    unsigned long cp;
    if ((b0 & 0xE0) == 0xC0) {
        len = 2;
        cp = b0 & 0x1Fu;
    } else if ((b0 & 0xF0) == 0xE0) {
        len = 3;
        cp = b0 & 0x0Fu;
    } else if ((b0 & 0xF8) == 0xF0) {
        len = 4;
        cp = b0 & 0x07u;
    } else {
        return -1;
    }
    if (i + static_cast<std::size_t>(len) > s.size()) return -1;
    for (int k = 1; k < len; ++k) {
        const auto b = static_cast<unsigned char>(s[i + static_cast<std::size_t>(k)]);
        if ((b & 0xC0) != 0x80) return -1;
        cp = (cp << 6) | (b & 0x3Fu);
    }
    static const unsigned long kMin[] = {0, 0, 0x80, 0x800, 0x10000};
    if (cp < kMin[len] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return -1;
    i += static_cast<std::size_t>(len);
    return static_cast<long>(cp);
}

namespace {

void AppendUtf8(std::string& out, unsigned long cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

struct IconvCloser {
    void operator()(void* cd) const { iconv_close(static_cast<iconv_t>(cd)); }
};
using IconvHandle = std::unique_ptr<void, IconvCloser>;

IconvHandle OpenIconv(const char* to, const char* from) {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) throw ECodePageError("code page conversion unavailable");
    return IconvHandle(cd);
}

}  // namespace

bool IsAscii(std::string_view s) {
    for (char c : s)
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    return true;
}

bool IsValidUtf8(std::string_view s) {
    for (std::size_t i = 0; i < s.size();)
        if (DecodeUtf8(s, i) < 0) return false;
    return true;
}

std::string SanitizeUtf8(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size();) {
        const std::size_t start = i;
        if (DecodeUtf8(s, i) < 0) {
            out += '?';
            i = start + 1;
        } else {
            out.append(s.substr(start, i - start));
        }
    }
    return out;
}

std::string Cp936ToUtf8(std::string_view in) {
    if (IsAscii(in)) return std::string(in);
    IconvHandle cd = OpenIconv("UTF-8", "GBK");
    std::string out(in.size() * 2 + 4, '\0');
    char* src = const_cast<char*>(in.data());
    std::size_t srcLeft = in.size();
    char* dst = out.data();
    std::size_t dstLeft = out.size();
    while (srcLeft > 0) {
        if (iconv(static_cast<iconv_t>(cd.get()), &src, &srcLeft, &dst, &dstLeft) ==
            static_cast<std::size_t>(-1)) {
            if (errno == E2BIG) {
                const std::size_t used = static_cast<std::size_t>(dst - out.data());
                out.resize(out.size() * 2);
                dst = out.data() + used;
                dstLeft = out.size() - used;
                continue;
            }
            throw ECodePageError("invalid code page 936 text");
        }
    }
    out.resize(static_cast<std::size_t>(dst - out.data()));
    return out;
}

namespace {

std::string ToCp936(std::string_view in, bool lenient) {
    if (IsAscii(in)) return std::string(in);
    IconvHandle cd = OpenIconv("GBK", "UTF-8");
    std::string out;
    out.reserve(in.size());
    std::size_t i = 0;
    while (i < in.size()) {
        const std::size_t start = i;
        if (DecodeUtf8(in, i) < 0) {
            if (!lenient) throw ECodePageError("invalid UTF-8 text");
            out += '?';
            i = start + 1;
            continue;
        }
        char buf[8];
        char* src = const_cast<char*>(in.data() + start);
        std::size_t srcLeft = i - start;
        char* dst = buf;
        std::size_t dstLeft = sizeof buf;
        if (iconv(static_cast<iconv_t>(cd.get()), &src, &srcLeft, &dst, &dstLeft) ==
            static_cast<std::size_t>(-1)) {
            iconv(static_cast<iconv_t>(cd.get()), nullptr, nullptr, nullptr, nullptr);
            out += '?';
        } else {
            out.append(buf, static_cast<std::size_t>(dst - buf));
        }
    }
    return out;
}

}  // namespace

std::string Utf8ToCp936(std::string_view in) {
    return ToCp936(in, false);
}

std::string Utf8ToCp936Lenient(std::string_view in) {
    return ToCp936(in, true);
}

std::u16string Utf8ToUtf16(std::string_view s) {
    std::u16string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size();) {
        const long cp = DecodeUtf8(s, i);
        if (cp < 0) throw ECodePageError("invalid UTF-8 text");
        if (cp >= 0x10000) {
            const unsigned long v = static_cast<unsigned long>(cp) - 0x10000;
            out += static_cast<char16_t>(0xD800 + (v >> 10));
            out += static_cast<char16_t>(0xDC00 + (v & 0x3FF));
        } else {
            out += static_cast<char16_t>(cp);
        }
    }
    return out;
}

std::string Utf16ToUtf8(std::u16string_view s) {
    std::string out;
    out.reserve(s.size() * 3);
    for (std::size_t i = 0; i < s.size(); ++i) {
        unsigned long cp = s[i];
        if (cp >= 0xD800 && cp <= 0xDBFF) {
            if (i + 1 >= s.size() || s[i + 1] < 0xDC00 || s[i + 1] > 0xDFFF)
                throw ECodePageError("invalid UTF-16 text");
            cp = 0x10000 + ((cp - 0xD800) << 10) + (static_cast<unsigned long>(s[++i]) - 0xDC00);
        } else if (cp >= 0xDC00 && cp <= 0xDFFF) {
            throw ECodePageError("invalid UTF-16 text");
        }
        AppendUtf8(out, cp);
    }
    return out;
}

std::size_t Utf16Length(std::string_view s) {
    std::size_t n = 0;
    for (std::size_t i = 0; i < s.size();) {
        const long cp = DecodeUtf8(s, i);
        if (cp < 0) throw ECodePageError("invalid UTF-8 text");
        n += cp >= 0x10000 ? 2 : 1;
    }
    return n;
}

}  // namespace kestrane::support
