#include "support/format.h"

#include <cinttypes>
#include <cstdio>
#include <vector>

namespace kestrane::support {

namespace {

[[noreturn]] void Invalid(std::string_view pattern) {
    throw EConvertError("Format '" + std::string(pattern) + "' invalid or incompatible with argument");
}

std::string Pad(std::string s, int width, bool left) {
    if (width > 0 && static_cast<int>(s.size()) < width) {
        const std::string fill(static_cast<std::size_t>(width) - s.size(), ' ');
        s = left ? s + fill : fill + s;
    }
    return s;
}

std::string Digits(std::uint64_t v, int base, int minDigits) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string d;
    do {
        d.insert(d.begin(), kHex[v % static_cast<unsigned>(base)]);
        v /= static_cast<unsigned>(base);
    } while (v != 0);
    if (minDigits > static_cast<int>(d.size()))
        d.insert(0, static_cast<std::size_t>(minDigits) - d.size(), '0');
    return d;
}

std::string Float(char type, double v, int prec) {
    char directive[8];
    int p = prec >= 0 ? prec : (type == 'e' || type == 'g' ? 15 : 2);
    std::snprintf(directive, sizeof directive, "%%.%d%c", p > 99 ? 99 : p,
                  type == 'n' ? 'f' : (type == 'e' ? 'E' : type));
    char buf[512];
    std::snprintf(buf, sizeof buf, directive, v);
    std::string s = buf;
    if (type == 'n') {  // thousands separators in the integer part
        std::size_t end = s.find('.');
        if (end == std::string::npos) end = s.size();
        const std::size_t begin = (!s.empty() && s[0] == '-') ? 1 : 0;
        for (std::size_t i = end; i > begin + 3; i -= 3) s.insert(i - 3, ",");
    }
    return s;
}

}  // namespace

std::string FormatV(std::string_view pattern, std::initializer_list<FormatArg> argList) {
    const std::vector<FormatArg> args(argList);
    std::string out;
    std::size_t next = 0;
    std::size_t i = 0;
    while (i < pattern.size()) {
        const char c = pattern[i++];
        if (c != '%') {
            out += c;
            continue;
        }
        if (i < pattern.size() && pattern[i] == '%') {
            out += '%';
            ++i;
            continue;
        }
        auto readNumber = [&](int& value) -> bool {
            if (i < pattern.size() && pattern[i] == '*') {
                ++i;
                if (next >= args.size()) Invalid(pattern);
                const auto* n = std::get_if<std::int64_t>(&args[next++].value());
                if (!n) Invalid(pattern);
                value = static_cast<int>(*n);
                return true;
            }
            bool any = false;
            value = 0;
            while (i < pattern.size() && pattern[i] >= '0' && pattern[i] <= '9') {
                value = value * 10 + (pattern[i++] - '0');
                if (value > 100000) Invalid(pattern);
                any = true;
            }
            return any;
        };
        int number = 0;
        const std::size_t save = i;
        if (readNumber(number) && i < pattern.size() && pattern[i] == ':') {
            next = static_cast<std::size_t>(number);
            ++i;
        } else {
            i = save;
        }
        bool left = false;
        if (i < pattern.size() && pattern[i] == '-') {
            left = true;
            ++i;
        }
        int width = 0;
        readNumber(width);
        int prec = -1;
        if (i < pattern.size() && pattern[i] == '.') {
            ++i;
            if (!readNumber(prec)) prec = 0;
        }
        if (i >= pattern.size()) Invalid(pattern);
        const char type = static_cast<char>(pattern[i++] | 0x20);
        if (next >= args.size()) throw EConvertError("No argument for format '" + std::string(pattern) + "'");
        const FormatArg::Value& v = args[next++].value();
        std::string piece;
        switch (type) {
            case 'd':
            case 'u':
            case 'x': {
                const auto* n = std::get_if<std::int64_t>(&v);
                if (!n) Invalid(pattern);
                std::int64_t value = *n;
                if (type == 'u' || type == 'x') {
                    // 32-bit arguments print as their unsigned 32-bit bit pattern, as the runtime does
                    const std::uint64_t bits = (value < 0 && value >= INT32_MIN)
                                                   ? static_cast<std::uint32_t>(value)
                                                   : static_cast<std::uint64_t>(value);
                    piece = Digits(bits, type == 'x' ? 16 : 10, prec);
                } else {
                    const bool neg = value < 0;
                    const std::uint64_t mag =
                        neg ? ~static_cast<std::uint64_t>(value) + 1 : static_cast<std::uint64_t>(value);
                    piece = (neg ? "-" : "") + Digits(mag, 10, prec);
                }
                break;
            }
            case 's': {
                const auto* s = std::get_if<std::string_view>(&v);
                if (!s) Invalid(pattern);
                piece = std::string(prec >= 0 && static_cast<std::size_t>(prec) < s->size()
                                        ? s->substr(0, static_cast<std::size_t>(prec))
                                        : *s);
                break;
            }
            case 'p': {
                const auto* p = std::get_if<const void*>(&v);
                if (!p) Invalid(pattern);
                piece = Digits(reinterpret_cast<std::uintptr_t>(*p), 16, static_cast<int>(sizeof(void*) * 2));
                break;
            }
            case 'f':
            case 'e':
            case 'g':
            case 'n': {
                double d;
                if (const auto* f = std::get_if<double>(&v))
                    d = *f;
                else if (const auto* n = std::get_if<std::int64_t>(&v))
                    d = static_cast<double>(*n);
                else
                    Invalid(pattern);
                piece = Float(type, d, prec);
                break;
            }
            default:
                Invalid(pattern);
        }
        out += Pad(std::move(piece), width, left);
    }
    return out;
}

}  // namespace kestrane::support
