#include "info/header_attributes.h"

#include <stdlib.h>

#include "info/asf_header.h"
#include "info/file_info.h"

namespace {

struct Destination {
    FileInfo *info;
    TagSet *tags;
};

size_t ReadAt(void *context, uint64_t offset, void *buffer, size_t size) {
    return ReadFileSourceAt(*static_cast<const FileSource *>(context), offset, buffer, static_cast<DWORD>(size));
}

void Store(void *context, const AsfAttribute &attribute) {
    Destination *to = static_cast<Destination *>(context);
    StoreAttribute(reinterpret_cast<const WCHAR *>(attribute.name), static_cast<WMT_ATTR_DATATYPE>(attribute.type),
                   attribute.value, static_cast<WORD>(attribute.valueBytes), to->info, to->tags);
}

}  // namespace

bool StoreHeaderAttributes(const FileSource &source, FileInfo *info, TagSet *tags) {
    static_assert(sizeof(WCHAR) == sizeof(char16_t), "names are handed over as they are");
    uint64_t size;
    if (!FileSourceSize(source, &size)) return false;
    // The reading's buffers are some 18 KB: too much for a player's stack.
    AsfHeaderFile *header = static_cast<AsfHeaderFile *>(malloc(sizeof(AsfHeaderFile)));
    if (!header) return false;
    header->read = ReadAt;
    header->readContext = const_cast<FileSource *>(&source);
    header->fileSize = size;
    Destination to{info, tags};
    bool whole = ReadAsfHeader(header, Store, &to);
    free(header);
    return whole;
}
