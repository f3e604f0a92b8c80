#include "ffprobe_witness.h"

#include <windows.h>

#include "test_paths.h"

namespace {

void AppendUtf8(std::string *out, unsigned code) {
    if (code < 0x80) {
        out->push_back(static_cast<char>(code));
    } else if (code < 0x800) {
        out->push_back(static_cast<char>(0xC0 | code >> 6));
        out->push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else if (code < 0x10000) {
        out->push_back(static_cast<char>(0xE0 | code >> 12));
        out->push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
        out->push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else {
        out->push_back(static_cast<char>(0xF0 | code >> 18));
        out->push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
        out->push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
        out->push_back(static_cast<char>(0x80 | (code & 0x3F)));
    }
}

// The value of "key" at or after from and before end (npos: the end of the
// text), a string or a number, as text; empty when absent.
std::string StringAfter(const std::string &json, size_t from, size_t end, const std::string &key) {
    size_t at = json.find("\"" + key + "\": ", from);
    if (at == std::string::npos || at >= end) return "";
    size_t start = at + key.size() + 4;
    if (start < json.size() && json[start] != '"') {
        size_t stop = json.find_first_of(",}\n", start);
        return json.substr(start, stop == std::string::npos ? std::string::npos : stop - start);
    }
    std::string value;
    for (size_t i = start + 1; i < json.size() && json[i] != '"'; ++i) {
        if (json[i] != '\\') {
            value.push_back(json[i]);
            continue;
        }
        char e = json[++i];
        if (e == 'u') {
            unsigned code = strtoul(json.substr(i + 1, 4).c_str(), nullptr, 16);
            i += 4;
            if (code >= 0xD800 && code < 0xDC00 && json.compare(i + 1, 2, "\\u") == 0) {
                unsigned low = strtoul(json.substr(i + 3, 4).c_str(), nullptr, 16);
                code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
                i += 6;
            }
            AppendUtf8(&value, code);
        } else {
            value.push_back(e == 'n' ? '\n' : e == 't' ? '\t' : e == 'r' ? '\r' : e == 'b' ? '\b' : e == 'f' ? '\f' : e);
        }
    }
    return value;
}

}  // namespace

std::string FfprobeWitness::Format(const std::string &key) const {
    size_t format = json.find("\"format\": {");
    if (format == std::string::npos) return "";
    return StringAfter(json, format, json.find("\"tags\": {", format), key);
}

std::string FfprobeWitness::Tag(const std::string &key) const {
    size_t format = json.find("\"format\": {");
    if (format == std::string::npos) return "";
    size_t tags = json.find("\"tags\": {", format);
    if (tags == std::string::npos) return "";
    return StringAfter(json, tags, json.find('}', tags), key);
}

std::string FfprobeWitness::Stream(const std::string &key) const {
    size_t streams = json.find("\"streams\": [");
    if (streams == std::string::npos) return "";
    return StringAfter(json, streams, json.find("\"format\": {"), key);
}

FfprobeWitness LoadWitness(const std::string &mediaName) {
    FfprobeWitness witness;
    witness.json = ReadWholeFile(MediaPath(mediaName + ".json"));
    witness.loaded = !witness.json.empty();
    return witness;
}

std::string Utf8ToAnsi(const std::string &utf8) {
    if (utf8.empty()) return "";
    int units = MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring wide(units, L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), static_cast<int>(utf8.size()), &wide[0], units);
    int bytes = WideCharToMultiByte(CP_ACP, 0, wide.c_str(), units, nullptr, 0, nullptr, nullptr);
    std::string ansi(bytes, '\0');
    WideCharToMultiByte(CP_ACP, 0, wide.c_str(), units, &ansi[0], bytes, nullptr, nullptr);
    return ansi;
}
