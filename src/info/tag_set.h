// The six tag texts an information query gathers for the title builder.
// Plain ANSI text, zero-terminated, at most 255 bytes each.
#pragma once

enum { kTagTextSize = 256 };

struct TagSet {
    char artist[kTagTextSize];
    char album[kTagTextSize];
    char title[kTagTextSize];
    char trackNumber[kTagTextSize];
    char genre[kTagTextSize];
    char date[kTagTextSize];
};
