// libFuzzer target: any bytes read as a file by the ASF header reader.
#include <string.h>

#include <memory>

#include "asf/asf_header.h"

namespace {

struct Input {
    const uint8_t *bytes;
    size_t size;
};

size_t ReadInput(void *context, uint64_t offset, void *buffer, size_t size) {
    const Input *input = static_cast<const Input *>(context);
    if (offset >= input->size) return 0;
    size_t count = input->size - offset < size ? input->size - offset : size;
    memcpy(buffer, input->bytes + offset, count);
    return count;
}

void Check(void *, const AsfAttribute &a) {
    if (!a.name[0] || a.valueBytes > kAsfValuePrefixBytes) __builtin_trap();
    // Every byte handed out must be readable: AddressSanitizer sees a read past them.
    volatile uint8_t sum = 0;
    for (uint32_t i = 0; i < a.valueBytes; ++i) sum = sum + a.value[i];
    for (const char16_t *n = a.name; *n; ++n) sum = sum + static_cast<uint8_t>(*n);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    // The bytes in a buffer of their own, so AddressSanitizer sees any read past them.
    std::unique_ptr<uint8_t[]> copy(new uint8_t[size ? size : 1]);
    if (size) memcpy(copy.get(), data, size);
    Input input{copy.get(), size};
    std::unique_ptr<AsfHeaderFile> file(new AsfHeaderFile);
    file->read = ReadInput;
    file->readContext = &input;
    file->fileSize = size;
    AsfHeld held;
    ReadAsfHeaderAndData(file.get(), Check, nullptr, &held);
    return 0;
}
