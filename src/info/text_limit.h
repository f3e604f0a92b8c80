// Cutting ANSI text to a fixed field without splitting a multi-byte
// character. Knows nothing of Windows: the caller says how many bytes the
// character that starts with a byte has in its code page (null: a
// single-byte code page).
#pragma once

#include <stddef.h>

typedef size_t (*CharWidthFn)(unsigned char firstByte);

// The widths of UTF-8: 2, 3 or 4 for the first byte of a sequence; 1 for
// ASCII and for bytes no sequence starts with.
size_t Utf8CharWidth(unsigned char firstByte);

// The longest prefix of text[0..length) that is at most maxBytes long and
// does not end in the middle of a character.
size_t SafeCutLength(const char *text, size_t length, size_t maxBytes, CharWidthFn charWidth);

// Copies text[0..length) into field (fieldSize bytes, at least 1), cut as
// above to fieldSize - 1 bytes, and terminates it.
void CopyToField(char *field, size_t fieldSize, const char *text, size_t length, CharWidthFn charWidth);
