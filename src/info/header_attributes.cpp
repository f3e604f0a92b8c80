#include "info/header_attributes.h"

#include <stdlib.h>

namespace {

size_t ReadAt(void *context, uint64_t offset, void *buffer, size_t size) {
    return ReadFileSourceAt(*static_cast<const FileSource *>(context), offset, buffer, static_cast<DWORD>(size));
}

void Store(void *context, const AsfAttribute &attribute) {
    Gathered *into = static_cast<Gathered *>(context);
    if (!into) return;
    StoreAttribute(reinterpret_cast<const WCHAR *>(attribute.name), static_cast<WMT_ATTR_DATATYPE>(attribute.type),
                   attribute.value, static_cast<WORD>(attribute.valueBytes), into);
}

}  // namespace

bool ReadFileHeader(const FileSource &source, Gathered *into, AsfHeld *held) {
    static_assert(sizeof(WCHAR) == sizeof(char16_t), "names are handed over as they are");
    *held = AsfHeld{false, 0};
    uint64_t size;
    if (!FileSourceSize(source, &size)) return false;
    // The reading's buffers are some 18 KB: too much for a player's stack.
    AsfHeaderFile *header = static_cast<AsfHeaderFile *>(malloc(sizeof(AsfHeaderFile)));
    if (!header) return false;
    header->read = ReadAt;
    header->readContext = const_cast<FileSource *>(&source);
    header->fileSize = size;
    bool whole = ReadAsfHeaderAndData(header, Store, into, held);
    free(header);
    return whole;
}
