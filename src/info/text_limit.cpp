#include "info/text_limit.h"

#include <string.h>

size_t Utf8CharWidth(unsigned char firstByte) {
    if (firstByte < 0xC2) return 1;  // ASCII, a continuation byte, or an overlong lead
    if (firstByte < 0xE0) return 2;
    if (firstByte < 0xF0) return 3;
    if (firstByte < 0xF5) return 4;
    return 1;
}

size_t SafeCutLength(const char *text, size_t length, size_t maxBytes, CharWidthFn charWidth) {
    if (length <= maxBytes) return length;
    if (!charWidth) return maxBytes;
    // A character's first byte can only be told from its others by walking
    // from the start.
    size_t at = 0;
    while (at < maxBytes) {
        size_t width = charWidth(static_cast<unsigned char>(text[at]));
        if (at + width > maxBytes) break;
        at += width;
    }
    return at;
}

void CopyToField(char *field, size_t fieldSize, const char *text, size_t length, CharWidthFn charWidth) {
    size_t kept = SafeCutLength(text, length, fieldSize - 1, charWidth);
    memcpy(field, text, kept);
    field[kept] = '\0';
}
