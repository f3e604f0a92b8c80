#include "plugin/file_name.h"

#include <string.h>

bool IsPlayableName(const char *fileName) {
    if (!fileName || strstr(fileName, "://")) return false;
    const char *dot = strrchr(fileName, '.');
    if (!dot) return false;
    static const char kExtension[] = ".wma";
    for (size_t at = 0;; ++at) {
        char c = dot[at];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != kExtension[at]) return false;
        if (c == '\0') return true;
    }
}
