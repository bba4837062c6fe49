// ddswrite: a tiny DDS writer used only to make the bundled sample textures.
//
// Build:  g++ -std=c++17 -O2 -o ddswrite ddswrite.cpp -lsquish
// Needs:  apt-get install libsquish-dev
// Usage:  ddswrite FORMAT in.pam out.dds
//   FORMAT  dxt1a    DXT1 with 1-bit alpha (libsquish; blocks with texels of
//                    alpha < 128 use three-colour mode, index 3 transparent)
//           dxt3     DXT3, explicit 4-bit alpha (libsquish)
//           rgb32    X8R8G8B8  (masks 00FF0000 0000FF00 000000FF, no alpha;
//                    the unused X byte is written as 0)
//           rgb565   R5G6B5    (masks F800 07E0 001F)
//           rgb332   R3G3B2    (masks E0 1C 03)
//           argb4444 A4R4G4B4  (masks 0F00 00F0 000F F000, alpha present)
//           l8       L8, luminance flag (mask FF): the red channel
//           rgba16f  DX10 header, DXGI R16G16B16A16_FLOAT: each channel
//                    v / 255 as the nearest half, which 8 bits read back
//                    exactly
//
// Input is a PAM file (P7, MAXVAL 255, DEPTH 3 or 4) as written by
// gen_source.py. Rows are stored top row first, with no row padding, one
// level only (mipMapCount 0, DDSD_MIPMAPCOUNT not set).

#include <squish.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Image {
    int w = 0, h = 0;
    std::vector<uint8_t> rgba;  // w*h*4, top row first
};

[[noreturn]] void die(const std::string& msg) {
    std::cerr << "ddswrite: " << msg << "\n";
    std::exit(1);
}

Image readPam(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    if (!f) die("cannot open " + path);
    std::string line;
    std::getline(f, line);
    if (line != "P7") die(path + ": not a PAM file");
    int depth = 0, maxval = 0;
    Image img;
    while (std::getline(f, line) && line != "ENDHDR") {
        std::istringstream ls(line);
        std::string key;
        ls >> key;
        if (key == "WIDTH") ls >> img.w;
        else if (key == "HEIGHT") ls >> img.h;
        else if (key == "DEPTH") ls >> depth;
        else if (key == "MAXVAL") ls >> maxval;
    }
    if (img.w <= 0 || img.h <= 0 || maxval != 255 || (depth != 3 && depth != 4))
        die(path + ": unsupported PAM header");
    std::vector<uint8_t> raw(size_t(img.w) * img.h * depth);
    if (!f.read(reinterpret_cast<char*>(raw.data()), std::streamsize(raw.size())))
        die(path + ": short pixel data");
    img.rgba.resize(size_t(img.w) * img.h * 4);
    for (size_t i = 0; i < size_t(img.w) * img.h; ++i) {
        for (int c = 0; c < 3; ++c) img.rgba[i * 4 + c] = raw[i * depth + c];
        img.rgba[i * 4 + 3] = depth == 4 ? raw[i * depth + 3] : 255;
    }
    return img;
}

void put32(std::vector<uint8_t>& out, size_t off, uint32_t v) {
    for (int i = 0; i < 4; ++i) out[off + i] = uint8_t(v >> (8 * i));
}

struct PixelFormat {
    uint32_t flags = 0, fourCC = 0, bits = 0, r = 0, g = 0, b = 0, a = 0;
};

// 4 + 124 bytes. compressed: linear size of the top level, else row pitch.
std::vector<uint8_t> header(int w, int h, bool compressed, uint32_t sizeField,
                            const PixelFormat& pf) {
    std::vector<uint8_t> out(128, 0);
    std::memcpy(out.data(), "DDS ", 4);
    put32(out, 4, 124);
    // CAPS | HEIGHT | WIDTH | PIXELFORMAT, plus LINEARSIZE or PITCH
    put32(out, 8, 0x1007u | (compressed ? 0x80000u : 0x8u));
    put32(out, 12, uint32_t(h));
    put32(out, 16, uint32_t(w));
    put32(out, 20, sizeField);
    put32(out, 24, 0);  // depth
    put32(out, 28, 0);  // mipMapCount (flag not set)
    put32(out, 76, 32);
    put32(out, 80, pf.flags);
    put32(out, 84, pf.fourCC);
    put32(out, 88, pf.bits);
    put32(out, 92, pf.r);
    put32(out, 96, pf.g);
    put32(out, 100, pf.b);
    put32(out, 104, pf.a);
    put32(out, 108, 0x1000);  // DDSCAPS_TEXTURE
    return out;
}

uint32_t fourCC(const char* s) {
    return uint32_t(uint8_t(s[0])) | uint32_t(uint8_t(s[1])) << 8 |
           uint32_t(uint8_t(s[2])) << 16 | uint32_t(uint8_t(s[3])) << 24;
}

// Scale an 8-bit value to n bits with rounding.
uint32_t q(uint8_t v, int n) {
    uint32_t maxv = (1u << n) - 1;
    return (uint32_t(v) * maxv + 127) / 255;
}

// v / 255 as an IEEE half, rounded to nearest (every value but 0 is a
// normal half: 1 / 255 > 2^-14).
uint16_t half(uint8_t v) {
    if (v == 0) return 0;
    int e = 0;
    const double m = std::frexp(v / 255.0, &e);  // v / 255 = m * 2^e, 0.5 <= m < 1
    long bits = std::lround((m * 2 - 1) * 1024);   // 10 mantissa bits of 1.f
    if (bits == 1024) { bits = 0; ++e; }
    return uint16_t((e - 1 + 15) << 10 | bits);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) die("usage: ddswrite dxt1a|dxt3|rgb32|rgb565|rgb332|argb4444|l8|rgba16f in.pam out.dds");
    const std::string fmt = argv[1];
    const Image img = readPam(argv[2]);
    const int w = img.w, h = img.h;
    std::vector<uint8_t> out;
    std::vector<uint8_t> data;

    if (fmt == "dxt1a" || fmt == "dxt3") {
        const int flags = fmt == "dxt1a" ? squish::kDxt1 : squish::kDxt3;
        data.resize(size_t(squish::GetStorageRequirements(w, h, flags)));
        squish::CompressImage(img.rgba.data(), w, h, data.data(), flags);
        PixelFormat pf;
        pf.flags = 0x4;  // FOURCC
        pf.fourCC = fourCC(fmt == "dxt1a" ? "DXT1" : "DXT3");
        out = header(w, h, true, uint32_t(data.size()), pf);
    } else {
        PixelFormat pf;
        int bpp = 0;
        if (fmt == "rgb32") {
            pf = {0x40, 0, 32, 0x00FF0000, 0x0000FF00, 0x000000FF, 0};
            bpp = 4;
        } else if (fmt == "rgb565") {
            pf = {0x40, 0, 16, 0xF800, 0x07E0, 0x001F, 0};
            bpp = 2;
        } else if (fmt == "rgb332") {
            pf = {0x40, 0, 8, 0xE0, 0x1C, 0x03, 0};
            bpp = 1;
        } else if (fmt == "argb4444") {
            pf = {0x41, 0, 16, 0x0F00, 0x00F0, 0x000F, 0xF000};
            bpp = 2;
        } else if (fmt == "l8") {
            pf = {0x20000, 0, 8, 0xFF, 0, 0, 0};
            bpp = 1;
        } else if (fmt == "rgba16f") {
            pf = {0x4, fourCC("DX10"), 0, 0, 0, 0, 0};
            bpp = 8;
        } else {
            die("unknown format " + fmt);
        }
        data.reserve(size_t(w) * h * bpp);
        for (int i = 0; i < w * h; ++i) {
            const uint8_t* p = &img.rgba[size_t(i) * 4];
            uint32_t v = 0;
            if (fmt == "rgba16f") {
                for (int c = 0; c < 4; ++c) {
                    data.push_back(uint8_t(half(p[c])));
                    data.push_back(uint8_t(half(p[c]) >> 8));
                }
                continue;
            }
            if (fmt == "l8")
                v = p[0];
            else if (fmt == "rgb32")
                v = uint32_t(p[0]) << 16 | uint32_t(p[1]) << 8 | p[2];  // X byte = 0
            else if (fmt == "rgb565")
                v = q(p[0], 5) << 11 | q(p[1], 6) << 5 | q(p[2], 5);
            else if (fmt == "rgb332")
                v = q(p[0], 3) << 5 | q(p[1], 3) << 2 | q(p[2], 2);
            else  // argb4444
                v = q(p[3], 4) << 12 | q(p[0], 4) << 8 | q(p[1], 4) << 4 | q(p[2], 4);
            for (int k = 0; k < bpp; ++k) data.push_back(uint8_t(v >> (8 * k)));
        }
        out = header(w, h, false, uint32_t(w * bpp), pf);
        if (fmt == "rgba16f") {  // the DX10 record: format, 2D, no flags, one image
            out.resize(148, 0);
            put32(out, 128, 10);  // DXGI_FORMAT_R16G16B16A16_FLOAT
            put32(out, 132, 3);   // D3D10_RESOURCE_DIMENSION_TEXTURE2D
            put32(out, 140, 1);   // array size
        }
    }

    out.insert(out.end(), data.begin(), data.end());
    std::ofstream o(argv[3], std::ios::binary);
    if (!o.write(reinterpret_cast<const char*>(out.data()), std::streamsize(out.size())))
        die(std::string("cannot write ") + argv[3]);
    return 0;
}
