// Cutting ANSI text to a fixed field without splitting a double-byte
// character. Knows nothing of Windows: the caller says which bytes lead a
// two-byte character in its code page (null: a single-byte code page).
#pragma once

#include <stddef.h>

typedef bool (*IsLeadByteFn)(unsigned char byte);

// The longest prefix of text[0..length) that is at most maxBytes long and
// does not end in the middle of a character.
size_t SafeCutLength(const char *text, size_t length, size_t maxBytes, IsLeadByteFn isLeadByte);

// Copies text[0..length) into field (fieldSize bytes, at least 1), cut as
// above to fieldSize - 1 bytes, and terminates it.
void CopyToField(char *field, size_t fieldSize, const char *text, size_t length, IsLeadByteFn isLeadByte);
