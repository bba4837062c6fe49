// Codes shared by the DDS reader and the plug-in shell: how a file's pixels
// are encoded, and which texture type the host is told.
#ifndef DDS_FORMATS_H
#define DDS_FORMATS_H

// How a file's pixels are encoded: which block kernel decodes them, or
// Uncompressed for pixels that are converted row by row.
enum BlockFormat : int {
    Uncompressed = 0,
    Dxt1 = 1,
    Dxt2 = 2,   // DXT3 with premultiplied colour, undone after decoding
    Dxt3 = 3,
    Dxt4 = 4,   // DXT5 with premultiplied colour, undone after decoding
    Dxt5 = 5,
    Unsupported = 6,
    Bc4 = 7,              // one channel, delivered grey
    Bc4Signed = 8,
    Bc5 = 9,              // two channels into red and green, blue 0
    Bc5Signed = 10,
    Bc5Normal = 11,       // blue reconstructed as a tangent-space normal's z
    Bc5SignedNormal = 12,
    Bc6h = 13,            // unsigned half floats, clamped to [0, 1]
    Bc6hSigned = 14,
    Bc7 = 15,
};

// Bytes of one block: 8 for DXT1 and BC4, 16 for every other format.
constexpr unsigned ddsBlockBytes(BlockFormat format) {
    return format == Dxt1 || format == Bc4 || format == Bc4Signed ? 8u : 16u;
}

// The host's texture type codes: three bytes a pixel (R, G, B) or four
// (R, G, B, A).
enum TextureType : int { Rgb = 4, Rgba = 5 };

inline unsigned ddsBytesPerPixel(TextureType type) { return type == Rgb ? 3u : 4u; }

#endif
