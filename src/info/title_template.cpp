#include "info/title_template.h"

#include <string.h>

namespace {

// Collects output up to one byte past the field, so the final cut can see
// whether the 255th byte opens a character that did not fit.
struct TitleWriter {
    char bytes[kTitleSize + 1];
    size_t length = 0;

    void Append(const char *text, size_t count) {
        size_t room = sizeof(bytes) - length;
        if (count > room) count = room;
        memcpy(bytes + length, text, count);
        length += count;
    }
    void Append(const char *text) { Append(text, strlen(text)); }
    void Finish(char *title, CharWidthFn charWidth) const {
        CopyToField(title, kTitleSize, bytes, length, charWidth);
    }
};

bool SameNameIgnoringCase(const char *text, size_t length, const char *name) {
    if (strlen(name) != length) return false;
    for (size_t at = 0; at < length; ++at) {
        char a = text[at], b = name[at];
        if (a >= 'a' && a <= 'z') a = static_cast<char>(a - 'a' + 'A');
        if (a != b) return false;
    }
    return true;
}

const char *NamedTag(const char *name, size_t length, const TagSet &tags) {
    struct Row { const char *name; const char *text; };
    const Row rows[] = {
        {"LEADARTIST", tags.artist}, {"TRACKNUM", tags.trackNumber}, {"ALBUM", tags.album},
        {"TITLE", tags.title},       {"GENRE", tags.genre},          {"DATE", tags.date},
    };
    for (const Row &row : rows)
        if (SameNameIgnoringCase(name, length, row.name)) return row.text;
    return "";
}

const char *NumberedTag(char digit, const TagSet &tags) {
    switch (digit) {
        case '1': return tags.artist;
        case '2': return tags.album;
        case '3': return tags.title;
        case '4': return tags.trackNumber;
        case '5': return tags.genre;
        case '6': return tags.date;
        default: return "";
    }
}

}  // namespace

void ExpandHostTemplate(const char *templateText, const TagSet &tags, CharWidthFn charWidth, char *title) {
    TitleWriter out;
    const char *t = templateText;
    size_t n = strlen(t);
    for (size_t i = 0; i < n; ++i) {
        if (t[i] != '%') {
            out.Append(t + i, 1);
            continue;
        }
        // The name runs to the next '%' or to the end; the closing '%' is
        // consumed, and an opening '%' without one swallows the rest.
        size_t j = i + 1;
        while (j < n && t[j] != '%') ++j;
        out.Append(NamedTag(t + i + 1, j - (i + 1), tags));
        i = j;
    }
    out.Finish(title, charWidth);
}

void ExpandOwnTemplate(const char *templateText, const TagSet &tags, CharWidthFn charWidth, char *title) {
    TitleWriter out;
    const char *t = templateText;
    for (size_t p = 0; t[p] != '\0';) {
        char ch = t[p], next = t[p + 1];
        if (ch != '%') {
            out.Append(t + p, 1);
            p += 1;
        } else if (next < '0' || next > '9') {
            p += 1;  // a lone '%' is dropped; next is read on its own
        } else {
            out.Append(NumberedTag(next, tags));
            p += 2;
        }
    }
    out.Finish(title, charWidth);
}
