#include "info/text_limit.h"

#include <string.h>

size_t SafeCutLength(const char *text, size_t length, size_t maxBytes, IsLeadByteFn isLeadByte) {
    if (length <= maxBytes) return length;
    if (!isLeadByte) return maxBytes;
    // Lead bytes can only be told from trail bytes by walking from the start.
    size_t at = 0;
    while (at < maxBytes) {
        size_t width = isLeadByte(static_cast<unsigned char>(text[at])) ? 2 : 1;
        if (at + width > maxBytes) break;
        at += width;
    }
    return at;
}

void CopyToField(char *field, size_t fieldSize, const char *text, size_t length, IsLeadByteFn isLeadByte) {
    size_t kept = SafeCutLength(text, length, fieldSize - 1, isLeadByte);
    memcpy(field, text, kept);
    field[kept] = '\0';
}
