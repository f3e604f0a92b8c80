#include "info/header_attributes.h"

#include <stdlib.h>

namespace {

void Store(void *context, const AsfAttribute &attribute) {
    Gathered *into = static_cast<Gathered *>(context);
    if (!into) return;
    StoreAttribute(reinterpret_cast<const WCHAR *>(attribute.name), static_cast<WMT_ATTR_DATATYPE>(attribute.type),
                   attribute.value, static_cast<WORD>(attribute.valueBytes), into);
}

}  // namespace

bool ReadFileHeader(const FileSource &source, Gathered *into, AsfHeld *held) {
    static_assert(sizeof(WCHAR) == sizeof(char16_t), "names are handed over as they are");
    return ReadAsfFile(source, Store, into, held);
}
