#include "module_report.h"

#include <stdio.h>
#include <string.h>

namespace {

// A filter block holds at most this many pairs; a block that never ends is
// the module's fault, not a reason to read on forever.
const int kMaxFilterPairs = 64;

}  // namespace

void PrintModuleSummary(PlayerModule *module) {
    const char *description = module->table->description();
    printf("module: %s\n", description ? description : "(null)");
    const char *filter = module->table->filterText();
    if (!filter) {
        printf("filter: (null)\n");
        return;
    }
    int pairs = 0;
    while (*filter && pairs < kMaxFilterPairs) {
        const char *pattern = filter + strlen(filter) + 1;
        printf("filter: \"%s\" -> \"%s\"\n", filter, pattern);
        ++pairs;
        if (!*pattern) break;  // a description without a pattern ends the block
        filter = pattern + strlen(pattern) + 1;
    }
    printf("filter pairs: %d\n", pairs);
}

const char *FirstFilterPattern(PlayerModule *module) {
    const char *filter = module->table->filterText();
    if (!filter || !*filter) return "";
    return filter + strlen(filter) + 1;
}

void PrintFileInfo(const PlayerFileInfo &info) {
    char title[sizeof(info.title) + 1];
    memcpy(title, info.title, sizeof(info.title));
    title[sizeof(info.title)] = '\0';  // an unterminated title is shown, not overrun
    printf("title: \"%s\"\n", title);
    printf("file size: %lu bytes\n", static_cast<unsigned long>(info.fileSize));
    printf("duration: %lu ms\n", static_cast<unsigned long>(info.durationMs));
    printf("bitrate: %lu bit/s\n", static_cast<unsigned long>(info.bitrate));
    printf("format: %ld Hz, %ld channels, %ld bits\n", static_cast<long>(info.sampleRate),
           static_cast<long>(info.channels), static_cast<long>(info.bitsPerSample));
    printf("seekable: %ld\n", static_cast<long>(info.seekable));
    printf("reserved: %ld\n", static_cast<long>(info.reserved));
}
