// ffprobe's view of a media file (ffprobe -show_format -show_streams -of
// json, written beside the file by make-tagged-media.sh): the independent
// witness the plug-in's answers are compared with.
#pragma once

#include <string>

struct FfprobeWitness {
    bool loaded = false;
    std::string json;

    // A value of the "format" object, of its "tags", or of the first stream,
    // as text (UTF-8); empty when absent.
    std::string Format(const std::string &key) const;
    std::string Tag(const std::string &key) const;
    std::string Stream(const std::string &key) const;
};

// Reads NAME.json beside the media file NAME.wma.
FfprobeWitness LoadWitness(const std::string &mediaName);

// UTF-8 text in the ANSI code page, as the plug-in converts the runtime's
// UTF-16 (no flags, the code page's default character).
std::string Utf8ToAnsi(const std::string &utf8);
