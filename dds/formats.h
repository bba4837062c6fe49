// Codes shared by the DDS reader and the plug-in shell: how a file's pixels
// are encoded, and which texture type the host is told.
#ifndef DDS_FORMATS_H
#define DDS_FORMATS_H

// A file's pixel encoding, as classified from its header.
enum BlockFormat : int {
    Uncompressed = 0,
    Dxt1 = 1,
    Dxt2 = 2,
    Dxt3 = 3,
    Dxt4 = 4,
    Dxt5 = 5,
    Unsupported = 6
};

// The host's texture type codes: three bytes a pixel (R, G, B) or four
// (R, G, B, A).
enum TextureType : int { Rgb = 4, Rgba = 5 };

inline unsigned ddsBytesPerPixel(TextureType type) { return type == Rgb ? 3u : 4u; }

#endif
