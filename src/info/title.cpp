#include "info/title.h"

#include <windows.h>

#include "info/title_template.h"

bool IsAnsiLeadByte(unsigned char byte) { return IsDBCSLeadByte(byte) != FALSE; }

bool BuildTitle(const ModuleSettings &settings, const TagSet &tags, char *title) {
    switch (settings.templateChoice) {
        case kUsePlayerTemplate: {
            char playerTemplate[kTemplateSize];
            if (!ReadPlayerTemplate(playerTemplate)) return false;
            ExpandHostTemplate(playerTemplate, tags, IsAnsiLeadByte, title);
            return true;
        }
        case kUseOwnTemplate:
            ExpandOwnTemplate(settings.titleTemplate, tags, IsAnsiLeadByte, title);
            return true;
        default:
            return false;
    }
}
