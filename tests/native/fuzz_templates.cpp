// Fuzzes both title template expanders. The input is split at zero bytes
// into a template and up to six tag texts; its first byte picks the
// character-width rule (none, a fixed East Asian range, UTF-8, or a table
// of lead bytes read from the input). Each title must stay inside its 256-byte field, end in a zero
// within it, and never hold a '%' that no tag brought in.
#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <initializer_list>

#include "info/title_template.h"

namespace {

unsigned char gLeadTable[32];

size_t HighLeads(unsigned char byte) { return byte >= 0x81 && byte <= 0xFE ? 2 : 1; }
size_t TableLeads(unsigned char byte) { return (gLeadTable[byte >> 3] >> (byte & 7)) & 1 ? 2 : 1; }

void Check(bool ok) {
    if (!ok) abort();
}

// Takes the next zero-terminated piece of the input, at most maxBytes long.
void TakePiece(const uint8_t *&data, size_t &size, char *out, size_t maxBytes) {
    size_t length = 0;
    while (length < size && data[length] != 0 && length < maxBytes) ++length;
    memcpy(out, data, length);
    out[length] = '\0';
    size_t used = length < size ? length + 1 : length;
    data += used;
    size -= used;
}

void ExpandAndCheck(void (*expand)(const char *, const TagSet &, CharWidthFn, char *), const char *templateText,
                    const TagSet &tags, CharWidthFn lead, bool tagsHavePercent) {
    char field[kTitleSize + 32];
    memset(field, 0xA5, sizeof(field));
    expand(templateText, tags, lead, field);
    const char *end = static_cast<const char *>(memchr(field, 0, kTitleSize));
    Check(end != nullptr);
    for (size_t at = kTitleSize; at < sizeof(field); ++at) Check(static_cast<unsigned char>(field[at]) == 0xA5);
    if (!tagsHavePercent) Check(memchr(field, '%', static_cast<size_t>(end - field)) == nullptr);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 1) return 0;
    CharWidthFn lead = nullptr;
    switch (data[0] % 4) {
        case 1: lead = HighLeads; break;
        case 3: lead = Utf8CharWidth; break;
        case 2:
            if (size < 1 + sizeof(gLeadTable)) return 0;
            memcpy(gLeadTable, data + 1, sizeof(gLeadTable));
            data += sizeof(gLeadTable);
            size -= sizeof(gLeadTable);
            lead = TableLeads;
            break;
    }
    ++data;
    --size;

    // Templates are at most 254 bytes in the settings; longer ones still
    // must not break the expanders.
    char *templateText = static_cast<char *>(malloc(1025));
    TakePiece(data, size, templateText, 1024);
    TagSet tags;
    bool tagsHavePercent = false;
    for (char *tag : {tags.artist, tags.album, tags.title, tags.trackNumber, tags.genre, tags.date}) {
        TakePiece(data, size, tag, kTagTextSize - 1);
        tagsHavePercent |= strchr(tag, '%') != nullptr;
    }
    ExpandAndCheck(ExpandOwnTemplate, templateText, tags, lead, tagsHavePercent);
    ExpandAndCheck(ExpandHostTemplate, templateText, tags, lead, tagsHavePercent);
    free(templateText);
    return 0;
}
