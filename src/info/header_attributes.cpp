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
    OVERLAPPED at = {};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    DWORD got = 0;
    if (!ReadFile(static_cast<HANDLE>(context), buffer, static_cast<DWORD>(size), &got, &at)) return 0;
    return got;
}

void Store(void *context, const AsfAttribute &attribute) {
    Destination *to = static_cast<Destination *>(context);
    StoreAttribute(reinterpret_cast<const WCHAR *>(attribute.name), static_cast<WMT_ATTR_DATATYPE>(attribute.type),
                   attribute.value, static_cast<WORD>(attribute.valueBytes), to->info, to->tags);
}

}  // namespace

void StoreHeaderAttributes(const WCHAR *fileName, FileInfo *info, TagSet *tags) {
    static_assert(sizeof(WCHAR) == sizeof(char16_t), "names are handed over as they are");
    HANDLE file = CreateFileW(fileName, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    LARGE_INTEGER size;
    // The reading's buffers are some 18 KB: too much for a player's stack.
    AsfHeaderFile *header = static_cast<AsfHeaderFile *>(malloc(sizeof(AsfHeaderFile)));
    if (header && GetFileSizeEx(file, &size)) {
        header->read = ReadAt;
        header->readContext = file;
        header->fileSize = static_cast<uint64_t>(size.QuadPart);
        Destination to{info, tags};
        ReadAsfHeader(header, Store, &to);
    }
    free(header);
    CloseHandle(file);
}
