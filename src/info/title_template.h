// The two track-title template languages. Pure text work, no Windows
// headers, so the expanders also build natively for sanitizers and fuzzing.
//
//   player's template: named placeholders between '%' characters, any case:
//     %LEADARTIST% %TRACKNUM% %ALBUM% %TITLE% %GENRE% %DATE%
//   module's template: '%' and one digit: %1 artist, %2 album, %3 title,
//     %4 track number, %5 genre, %6 date; %0 and %7..%9 stand for nothing.
#pragma once

#include "info/tag_set.h"
#include "info/text_limit.h"

enum { kTitleSize = 256 };  // a title is at most 255 bytes and a terminator

// Both expand the zero-terminated template with tags into title (kTitleSize
// bytes), cut to 255 bytes without splitting a multi-byte character.
void ExpandHostTemplate(const char *templateText, const TagSet &tags, CharWidthFn charWidth, char *title);
void ExpandOwnTemplate(const char *templateText, const TagSet &tags, CharWidthFn charWidth, char *title);
