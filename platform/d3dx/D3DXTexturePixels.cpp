#include "platform/d3dx/D3DXTexturePixels.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

struct Tap {
    UINT index;
    float weight;
};

// Source taps of every output coordinate along one axis, weights summing to 1.
std::vector<std::vector<Tap>> AxisTaps(UINT source, UINT target, DWORD kind) {
    std::vector<std::vector<Tap>> taps(target);
    const double scale = static_cast<double>(source) / target;
    const auto clampIndex = [source](double i) {
        return static_cast<UINT>(std::clamp(i, 0.0, static_cast<double>(source - 1)));
    };
    for (UINT x = 0; x < target; ++x) {
        std::vector<Tap>& list = taps[x];
        if (kind == D3DX_FILTER_POINT || (kind == D3DX_FILTER_BOX && scale <= 1.0)) {
            list.push_back({clampIndex(std::floor((x + 0.5) * scale)), 1.0f});
        } else if (kind == D3DX_FILTER_BOX) {
            const double lo = x * scale;
            const double hi = (x + 1) * scale;
            for (double i = std::floor(lo); i < hi; i += 1.0) {
                const double cover = std::min(hi, i + 1.0) - std::max(lo, i);
                if (cover > 0.0) {
                    list.push_back({clampIndex(i), static_cast<float>(cover)});
                }
            }
        } else {
            // Tent of radius max(1, scale) centred on the output pixel's centre in source space.
            const double centre = (x + 0.5) * scale - 0.5;
            const double radius = std::max(1.0, scale);
            for (double i = std::ceil(centre - radius); i <= std::floor(centre + radius); i += 1.0) {
                const double w = 1.0 - std::fabs(i - centre) / radius;
                if (w > 0.0) {
                    list.push_back({clampIndex(i), static_cast<float>(w)});
                }
            }
        }
        float sum = 0.0f;
        for (const Tap& tap : list) {
            sum += tap.weight;
        }
        for (Tap& tap : list) {
            tap.weight /= sum;
        }
    }
    return taps;
}

uint8_t ToByte(float value) { return static_cast<uint8_t>(std::clamp(value + 0.5f, 0.0f, 255.0f)); }

// n-bit channel from 8 bits, rounded.
DWORD Narrow(uint8_t value, DWORD max) { return (value * max + 127) / 255; }
uint8_t Widen(DWORD value, DWORD max) { return static_cast<uint8_t>((value * 255 + max / 2) / max); }

void Unpack565(uint16_t c, uint8_t* bgra) {
    bgra[2] = Widen((c >> 11) & 31, 31);
    bgra[1] = Widen((c >> 5) & 63, 63);
    bgra[0] = Widen(c & 31, 31);
    bgra[3] = 255;
}

uint16_t Pack565(const uint8_t* bgra) {
    return static_cast<uint16_t>((Narrow(bgra[2], 31) << 11) | (Narrow(bgra[1], 63) << 5) | Narrow(bgra[0], 31));
}

// The four colours of a colour block; threeColour is DXT1's mode with transparent black.
void ColourPalette(uint16_t c0, uint16_t c1, bool allowThreeColour, uint8_t palette[4][4]) {
    Unpack565(c0, palette[0]);
    Unpack565(c1, palette[1]);
    if (c0 > c1 || !allowThreeColour) {
        for (int k = 0; k < 4; ++k) {
            palette[2][k] = static_cast<uint8_t>((2 * palette[0][k] + palette[1][k] + 1) / 3);
            palette[3][k] = static_cast<uint8_t>((palette[0][k] + 2 * palette[1][k] + 1) / 3);
        }
    } else {
        for (int k = 0; k < 4; ++k) {
            palette[2][k] = static_cast<uint8_t>((palette[0][k] + palette[1][k]) / 2);
            palette[3][k] = 0;
        }
    }
}

void AlphaPalette(uint8_t a0, uint8_t a1, uint8_t palette[8]) {
    palette[0] = a0;
    palette[1] = a1;
    if (a0 > a1) {
        for (int i = 2; i < 8; ++i) {
            palette[i] = static_cast<uint8_t>(((8 - i) * a0 + (i - 1) * a1) / 7);
        }
    } else {
        for (int i = 2; i < 6; ++i) {
            palette[i] = static_cast<uint8_t>(((6 - i) * a0 + (i - 1) * a1) / 5);
        }
        palette[6] = 0;
        palette[7] = 255;
    }
}

uint16_t Read16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint64_t Read48(const uint8_t* p) {
    uint64_t v = 0;
    for (int i = 5; i >= 0; --i) {
        v = (v << 8) | p[i];
    }
    return v;
}

int Distance(const uint8_t* a, const uint8_t* b) {
    int d = 0;
    for (int k = 0; k < 3; ++k) {
        d += (a[k] - b[k]) * (a[k] - b[k]);
    }
    return d;
}

}  // namespace

void D3DXHalve(const uint8_t* source, size_t sourcePitch, uint8_t* destination, size_t pitch, UINT width,
               UINT height) {
    for (UINT y = 0; y < height; ++y) {
        const uint8_t* top = source + size_t{2 * y} * sourcePitch;
        const uint8_t* bottom = top + sourcePitch;
        uint8_t* out = destination + size_t{y} * pitch;
        for (UINT x = 0; x < width; ++x, top += 8, bottom += 8, out += 4) {
            for (int k = 0; k < 4; ++k) {
                out[k] = static_cast<uint8_t>((top[k] + top[k + 4] + bottom[k] + bottom[k + 4] + 2) / 4);
            }
        }
    }
}

D3DXImageSurface D3DXResample(const D3DXImageSurface& source, UINT width, UINT height, DWORD filter) {
    D3DXImageSurface out;
    out.width = width;
    out.height = height;
    const DWORD kind = filter & 0xFF;
    if (width == source.width && height == source.height && kind != D3DX_FILTER_NONE) {
        out.bytes = source.bytes;
        return out;
    }
    out.bytes.resize(size_t{width} * height * 4);  // zeroed by its allocator
    if (kind == D3DX_FILTER_NONE) {
        const UINT w = std::min(width, source.width);
        for (UINT y = 0; y < std::min(height, source.height); ++y) {
            std::memcpy(&out.bytes[size_t{y} * width * 4], &source.bytes[size_t{y} * source.width * 4], size_t{w} * 4);
        }
        return out;
    }
    // Mip levels: an exact halving with a box or tent filter is the plain 2x2 average.
    if ((kind == D3DX_FILTER_BOX || kind == D3DX_FILTER_LINEAR || kind == D3DX_FILTER_TRIANGLE) &&
        source.width == width * 2 && source.height == height * 2) {
        D3DXHalve(source.bytes.data(), size_t{source.width} * 4, out.bytes.data(), size_t{width} * 4, width, height);
        return out;
    }
    const auto columns = AxisTaps(source.width, width, kind);
    const auto rows = AxisTaps(source.height, height, kind);
    // Two separable passes through floats. The pass that shrinks more goes first, so the
    // scratch holds min(width x source height, source width x height) pixels: a tall picture
    // put on a wide texture never costs their product.
    const bool rowsFirst = size_t{source.width} * height < size_t{width} * source.height;
    if (!rowsFirst) {
        std::vector<float> wide(size_t{width} * source.height * 4, 0.0f);
        for (UINT y = 0; y < source.height; ++y) {
            const uint8_t* in = &source.bytes[size_t{y} * source.width * 4];
            float* row = &wide[size_t{y} * width * 4];
            for (UINT x = 0; x < width; ++x) {
                for (const Tap& tap : columns[x]) {
                    for (int k = 0; k < 4; ++k) {
                        row[x * 4 + k] += tap.weight * in[tap.index * 4 + k];
                    }
                }
            }
        }
        for (UINT y = 0; y < height; ++y) {
            for (UINT x = 0; x < width; ++x) {
                float sum[4] = {0, 0, 0, 0};
                for (const Tap& tap : rows[y]) {
                    const float* in = &wide[(size_t{tap.index} * width + x) * 4];
                    for (int k = 0; k < 4; ++k) {
                        sum[k] += tap.weight * in[k];
                    }
                }
                uint8_t* px = &out.bytes[(size_t{y} * width + x) * 4];
                for (int k = 0; k < 4; ++k) {
                    px[k] = ToByte(sum[k]);
                }
            }
        }
        return out;
    }
    std::vector<float> tall(size_t{source.width} * height * 4, 0.0f);
    for (UINT y = 0; y < height; ++y) {
        float* row = &tall[size_t{y} * source.width * 4];
        for (const Tap& tap : rows[y]) {
            const uint8_t* in = &source.bytes[size_t{tap.index} * source.width * 4];
            for (size_t i = 0; i < size_t{source.width} * 4; ++i) {
                row[i] += tap.weight * in[i];
            }
        }
    }
    for (UINT y = 0; y < height; ++y) {
        const float* in = &tall[size_t{y} * source.width * 4];
        for (UINT x = 0; x < width; ++x) {
            float sum[4] = {0, 0, 0, 0};
            for (const Tap& tap : columns[x]) {
                for (int k = 0; k < 4; ++k) {
                    sum[k] += tap.weight * in[tap.index * 4 + k];
                }
            }
            uint8_t* px = &out.bytes[(size_t{y} * width + x) * 4];
            for (int k = 0; k < 4; ++k) {
                px[k] = ToByte(sum[k]);
            }
        }
    }
    return out;
}

void D3DXApplyColorKey(D3DXImageSurface& surface, D3DCOLOR colorKey) {
    if (colorKey == 0) {
        return;
    }
    for (size_t i = 0; i + 4 <= surface.bytes.size(); i += 4) {
        DWORD pixel = 0;
        std::memcpy(&pixel, &surface.bytes[i], 4);
        if (pixel == colorKey) {
            std::memset(&surface.bytes[i], 0, 4);
        }
    }
}

D3DXImageSurface D3DXDecodeDxt(const D3DXImageSurface& blocks, D3DFORMAT format) {
    D3DXImageSurface out;
    out.width = blocks.width;
    out.height = blocks.height;
    out.bytes.resize(size_t{out.width} * out.height * 4);
    const UINT blockBytes = D3D9FormatBlockBytes(format);
    const UINT across = (blocks.width + 3) / 4;
    const UINT down = (blocks.height + 3) / 4;
    for (UINT by = 0; by < down; ++by) {
        for (UINT bx = 0; bx < across; ++bx) {
            const uint8_t* block = &blocks.bytes[(size_t{by} * across + bx) * blockBytes];
            const uint8_t* colour = (format == D3DFMT_DXT1) ? block : block + 8;
            uint8_t palette[4][4];
            ColourPalette(Read16(colour), Read16(colour + 2), format == D3DFMT_DXT1, palette);
            const DWORD indices = colour[4] | (colour[5] << 8) | (colour[6] << 16) | (DWORD{colour[7]} << 24);
            uint8_t alphas[8];
            uint64_t alphaBits = 0;
            if (format == D3DFMT_DXT4 || format == D3DFMT_DXT5) {
                AlphaPalette(block[0], block[1], alphas);
                alphaBits = Read48(block + 2);
            }
            for (UINT py = 0; py < 4; ++py) {
                for (UINT px = 0; px < 4; ++px) {
                    const UINT x = bx * 4 + px;
                    const UINT y = by * 4 + py;
                    if (x >= out.width || y >= out.height) {
                        continue;
                    }
                    const UINT i = py * 4 + px;
                    uint8_t* pixel = &out.bytes[(size_t{y} * out.width + x) * 4];
                    std::memcpy(pixel, palette[(indices >> (2 * i)) & 3], 4);
                    if (format == D3DFMT_DXT2 || format == D3DFMT_DXT3) {
                        pixel[3] = static_cast<uint8_t>(((block[i / 2] >> (4 * (i % 2))) & 15) * 17);
                    } else if (format == D3DFMT_DXT4 || format == D3DFMT_DXT5) {
                        pixel[3] = alphas[(alphaBits >> (3 * i)) & 7];
                    }
                }
            }
        }
    }
    return out;
}

D3DXImageSurface D3DXEncodeDxt(const D3DXImageSurface& pixels, D3DFORMAT format) {
    D3DXImageSurface out;
    out.width = pixels.width;
    out.height = pixels.height;
    const UINT blockBytes = D3D9FormatBlockBytes(format);
    const UINT across = (pixels.width + 3) / 4;
    const UINT down = (pixels.height + 3) / 4;
    out.bytes.resize(size_t{across} * down * blockBytes);  // zeroed by its allocator
    for (UINT by = 0; by < down; ++by) {
        for (UINT bx = 0; bx < across; ++bx) {
            // The block's 16 pixels, edge pixels repeated past the picture's border.
            uint8_t texel[16][4];
            for (UINT i = 0; i < 16; ++i) {
                const UINT x = std::min(bx * 4 + i % 4, pixels.width - 1);
                const UINT y = std::min(by * 4 + i / 4, pixels.height - 1);
                std::memcpy(texel[i], &pixels.bytes[(size_t{y} * pixels.width + x) * 4], 4);
            }
            uint8_t* block = &out.bytes[(size_t{by} * across + bx) * blockBytes];
            const bool punchThrough = format == D3DFMT_DXT1;
            bool transparent[16] = {};
            for (UINT i = 0; i < 16; ++i) {
                transparent[i] = punchThrough && texel[i][3] < 128;
            }
            // Endpoints: the two opaque pixels farthest apart, so that blocks of one or two
            // colours come back exactly.
            int first = -1;
            int second = -1;
            int widest = -1;
            for (int i = 0; i < 16; ++i) {
                for (int j = i; j < 16 && !transparent[i]; ++j) {
                    if (!transparent[j] && Distance(texel[i], texel[j]) > widest) {
                        widest = Distance(texel[i], texel[j]);
                        first = i;
                        second = j;
                    }
                }
            }
            uint8_t hiPixel[4] = {0, 0, 0, 255};
            uint8_t loPixel[4] = {0, 0, 0, 255};
            if (first >= 0) {
                std::memcpy(hiPixel, texel[first], 3);
                std::memcpy(loPixel, texel[second], 3);
            }
            uint16_t c0 = Pack565(hiPixel);
            uint16_t c1 = Pack565(loPixel);
            const bool anyTransparent = std::find(transparent, transparent + 16, true) != transparent + 16;
            // DXT1 picks its mode by endpoint order: c0 > c1 four colours, else three and transparent.
            if (punchThrough && anyTransparent && c0 > c1) {
                std::swap(c0, c1);
            } else if (!(punchThrough && anyTransparent) && c0 < c1) {
                std::swap(c0, c1);
            }
            uint8_t palette[4][4];
            ColourPalette(c0, c1, punchThrough, palette);
            const bool threeColour = punchThrough && c0 <= c1;
            DWORD indices = 0;
            for (UINT i = 0; i < 16; ++i) {
                DWORD best = 0;
                if (transparent[i]) {
                    best = 3;
                } else {
                    int bestDistance = Distance(texel[i], palette[0]);
                    for (DWORD p = 1; p < (threeColour ? 3u : 4u); ++p) {
                        const int d = Distance(texel[i], palette[p]);
                        if (d < bestDistance) {
                            bestDistance = d;
                            best = p;
                        }
                    }
                }
                indices |= best << (2 * i);
            }
            uint8_t* colour = (format == D3DFMT_DXT1) ? block : block + 8;
            colour[0] = static_cast<uint8_t>(c0);
            colour[1] = static_cast<uint8_t>(c0 >> 8);
            colour[2] = static_cast<uint8_t>(c1);
            colour[3] = static_cast<uint8_t>(c1 >> 8);
            for (int k = 0; k < 4; ++k) {
                colour[4 + k] = static_cast<uint8_t>(indices >> (8 * k));
            }
            if (format == D3DFMT_DXT2 || format == D3DFMT_DXT3) {
                for (UINT i = 0; i < 16; ++i) {
                    block[i / 2] |= static_cast<uint8_t>(Narrow(texel[i][3], 15) << (4 * (i % 2)));
                }
            } else if (format == D3DFMT_DXT4 || format == D3DFMT_DXT5) {
                uint8_t aLo = 255;
                uint8_t aHi = 0;
                for (UINT i = 0; i < 16; ++i) {
                    aLo = std::min(aLo, texel[i][3]);
                    aHi = std::max(aHi, texel[i][3]);
                }
                block[0] = aHi;
                block[1] = aLo;
                uint8_t alphas[8];
                AlphaPalette(aHi, aLo, alphas);
                uint64_t bits = 0;
                for (UINT i = 0; i < 16; ++i) {
                    uint64_t best = 0;
                    int bestDistance = 256;
                    for (uint64_t p = 0; p < 8; ++p) {
                        const int d = std::abs(alphas[p] - texel[i][3]);
                        if (d < bestDistance) {
                            bestDistance = d;
                            best = p;
                        }
                    }
                    bits |= best << (3 * i);
                }
                for (int k = 0; k < 6; ++k) {
                    block[2 + k] = static_cast<uint8_t>(bits >> (8 * k));
                }
            }
        }
    }
    return out;
}

bool D3DXCanWrite(D3DFORMAT format) {
    switch (format) {
        case D3DFMT_A8R8G8B8:
        case D3DFMT_X8R8G8B8:
        case D3DFMT_A8B8G8R8:
        case D3DFMT_X8B8G8R8:
        case D3DFMT_R5G6B5:
        case D3DFMT_X1R5G5B5:
        case D3DFMT_A1R5G5B5:
        case D3DFMT_A4R4G4B4:
        case D3DFMT_X4R4G4B4:
        case D3DFMT_A8:
        case D3DFMT_L8:
        case D3DFMT_A8L8:
            return true;
        default:
            return false;
    }
}

void D3DXWritePixels(const D3DXImageSurface& pixels, D3DFORMAT format, uint8_t* destination, INT pitch) {
    const UINT size = D3D9FormatBytesPerPixel(format);
    if (format == D3DFMT_A8R8G8B8 || format == D3DFMT_X8R8G8B8) {
        // The working layout already is A8R8G8B8 in memory.
        for (UINT y = 0; y < pixels.height; ++y) {
            uint8_t* row = destination + static_cast<ptrdiff_t>(y) * pitch;
            std::memcpy(row, &pixels.bytes[size_t{y} * pixels.width * 4], size_t{pixels.width} * 4);
            if (format == D3DFMT_X8R8G8B8) {
                for (UINT x = 0; x < pixels.width; ++x) {
                    row[x * 4 + 3] = 0xFF;
                }
            }
        }
        return;
    }
    for (UINT y = 0; y < pixels.height; ++y) {
        uint8_t* row = destination + static_cast<ptrdiff_t>(y) * pitch;
        for (UINT x = 0; x < pixels.width; ++x) {
            const uint8_t* p = &pixels.bytes[(size_t{y} * pixels.width + x) * 4];
            const uint8_t b = p[0], g = p[1], r = p[2], a = p[3];
            DWORD value = 0;
            switch (format) {
                case D3DFMT_A8R8G8B8: value = (DWORD{a} << 24) | (r << 16) | (g << 8) | b; break;
                case D3DFMT_X8R8G8B8: value = 0xFF000000u | (r << 16) | (g << 8) | b; break;
                case D3DFMT_A8B8G8R8: value = (DWORD{a} << 24) | (b << 16) | (g << 8) | r; break;
                case D3DFMT_X8B8G8R8: value = 0xFF000000u | (b << 16) | (g << 8) | r; break;
                case D3DFMT_R5G6B5: value = Pack565(p); break;
                case D3DFMT_X1R5G5B5:
                    value = 0x8000 | (Narrow(r, 31) << 10) | (Narrow(g, 31) << 5) | Narrow(b, 31);
                    break;
                case D3DFMT_A1R5G5B5:
                    value = (a >= 128 ? 0x8000 : 0) | (Narrow(r, 31) << 10) | (Narrow(g, 31) << 5) | Narrow(b, 31);
                    break;
                case D3DFMT_A4R4G4B4:
                    value = (Narrow(a, 15) << 12) | (Narrow(r, 15) << 8) | (Narrow(g, 15) << 4) | Narrow(b, 15);
                    break;
                case D3DFMT_X4R4G4B4:
                    value = 0xF000 | (Narrow(r, 15) << 8) | (Narrow(g, 15) << 4) | Narrow(b, 15);
                    break;
                case D3DFMT_A8: value = a; break;
                case D3DFMT_L8:
                case D3DFMT_A8L8: {
                    // Rec. 601 luma weights, in fixed point.
                    const DWORD luma = (r * 299 + g * 587 + b * 114 + 500) / 1000;
                    value = (format == D3DFMT_L8) ? luma : ((DWORD{a} << 8) | luma);
                    break;
                }
                default: break;
            }
            std::memcpy(row + size_t{x} * size, &value, size);
        }
    }
}
