#include "platform/win32/TextCodec.h"

namespace {

// Code page 1252's 0x80..0x9F row; the rest of the page matches Latin-1. Unassigned
// bytes map to themselves, as Windows does.
constexpr char16_t kHighRow[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

char16_t Decode(unsigned char byte) { return (byte >= 0x80 && byte < 0xA0) ? kHighRow[byte - 0x80] : byte; }

}  // namespace

int MultiByteToWideChar(UINT, DWORD, const char* source, int sourceLength, WCHAR* destination, int destinationSize) {
    if (source == nullptr || sourceLength == 0 || sourceLength < -1 || destinationSize < 0) {
        return 0;
    }
    const size_t count = sourceLength == -1 ? std::char_traits<char>::length(source) + 1 : size_t(sourceLength);
    if (destinationSize == 0) {
        return static_cast<int>(count);
    }
    if (destination == nullptr || count > size_t(destinationSize)) {
        return 0;
    }
    for (size_t i = 0; i < count; ++i) {
        destination[i] = Decode(static_cast<unsigned char>(source[i]));
    }
    return static_cast<int>(count);
}

std::u16string AnsiToWide(const std::string& text) {
    std::u16string wide(text.size(), u'\0');
    for (size_t i = 0; i < text.size(); ++i) {
        wide[i] = Decode(static_cast<unsigned char>(text[i]));
    }
    return wide;
}

std::string WideToUtf8(const std::u16string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        uint32_t c = text[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
        }
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

std::string WideToUtf8(const WCHAR* text) {
    std::u16string wide;
    for (; *text != 0; ++text) {
        wide.push_back(static_cast<char16_t>(*text));
    }
    return WideToUtf8(wide);
}
