// libFuzzer target: any bytes given to the ASF header reader.
#include "asf_header.h"

#include <string.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    std::vector<AsfAttribute> attributes;
    // The reader gets exactly the bytes it is told of, in a buffer of its
    // own, so that AddressSanitizer sees any read past them.
    uint8_t *copy = new uint8_t[size ? size : 1];
    if (size) memcpy(copy, data, size);
    ParseAsfHeader(copy, size, &attributes);
    for (const AsfAttribute &a : attributes) {
        if (a.name.empty() || a.value.size() > kAsfMaxValueBytes) __builtin_trap();
        if (a.type == kAsfString && (a.value.size() < 2 || a.value[a.value.size() - 1] || a.value[a.value.size() - 2]))
            __builtin_trap();
    }
    delete[] copy;
    return 0;
}
