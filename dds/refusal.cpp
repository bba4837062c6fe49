#include "refusal.h"

#include <cstddef>

namespace {

struct RefusalWords {
    const char *name;
    const char *text;
};

#define DDS_REFUSAL_WORDS(name, text) {#name, text},
constexpr RefusalWords Words[] = {DDS_REFUSALS(DDS_REFUSAL_WORDS)};
#undef DDS_REFUSAL_WORDS
static_assert(sizeof Words / sizeof Words[0] == static_cast<size_t>(DdsRefusal::Count), "one entry for each refusal");

const RefusalWords &wordsOf(DdsRefusal refusal) {
    static constexpr RefusalWords Unknown{"Unknown", "unknown reason"};
    const auto index = static_cast<size_t>(refusal);
    return index < static_cast<size_t>(DdsRefusal::Count) ? Words[index] : Unknown;
}

}  // namespace

const char *ddsRefusalName(DdsRefusal refusal) { return wordsOf(refusal).name; }

const char *ddsRefusalText(DdsRefusal refusal) { return wordsOf(refusal).text; }
