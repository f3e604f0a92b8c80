#include "info/title.h"

#include <windows.h>

#include "info/title_template.h"

// Set to UTF-8 (Windows 10 and later allow it), the ANSI code page has
// sequences of up to four bytes that the double-byte test does not know.
size_t AnsiCharWidth(unsigned char firstByte) {
    if (GetACP() == CP_UTF8) return Utf8CharWidth(firstByte);
    return IsDBCSLeadByte(firstByte) ? 2 : 1;
}

bool BuildTitle(const ModuleSettings &settings, const TagSet &tags, char *title) {
    switch (settings.templateChoice) {
        case kUsePlayerTemplate: {
            char playerTemplate[kTemplateSize];
            if (!ReadPlayerTemplate(playerTemplate)) return false;
            ExpandHostTemplate(playerTemplate, tags, AnsiCharWidth, title);
            return true;
        }
        case kUseOwnTemplate:
            ExpandOwnTemplate(settings.titleTemplate, tags, AnsiCharWidth, title);
            return true;
        default:
            return false;
    }
}
