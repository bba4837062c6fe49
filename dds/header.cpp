#include "header.h"

#include <cstring>
#include <type_traits>

#include "common/bytes.h"

namespace {

// Fills `record`, a struct of 32-bit fields in the order the file stores
// them, from its little-endian words at `bytes`: each word read byte by
// byte, then the words copied field for field.
template <typename Record>
void readWords(const uint8_t *bytes, Record *record) {
    static_assert(std::is_trivially_copyable<Record>::value && sizeof(Record) % 4 == 0, "a record of 32-bit words");
    uint32_t words[sizeof(Record) / 4];
    for (size_t i = 0; i < sizeof(Record) / 4; ++i) words[i] = ddsLoad32(bytes + 4 * i);
    std::memcpy(record, words, sizeof words);
}

}  // namespace

void ddsParseHeader(const uint8_t bytes[DdsHeaderBytes], DdsHeader *header) { readWords(bytes, header); }

void ddsParseHeaderDx10(const uint8_t bytes[DdsDx10Bytes], DdsHeaderDx10 *dx10) { readWords(bytes, dx10); }

bool ddsHasDx10Header(const DdsHeader &header) {
    const DdsPixelFormat &format = header.pixelFormat;
    if (format.fourCC != DdsFourCCDx10) return false;
    const uint32_t otherKinds = DdsPixelRgb | DdsPixelLuminance | DdsPixelAlphaOnly | DdsPixelPalette |
                                DdsPixelBumpDuDv | DdsPixelBumpLuminance;
    return (format.flags & DdsPixelFourCC) != 0 || (format.flags & otherKinds) == 0;
}
