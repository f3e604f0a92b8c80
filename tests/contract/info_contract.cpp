// Random information queries against the scripted stand-in runtime, each
// checked against a model of what the record must hold afterwards:
//   - the query returns 1 and writes nothing outside the 288-byte record;
//   - seekable 1, reserved 0, the runtime's PCM output format (44100/2/16
//     when it gives none); durationMs, bitrate and fileSize from the last
//     usable "Duration" (8 bytes or more), "Bitrate" and "FileSize" (4 or
//     more), or as the record had them;
//   - the title is zero-terminated within its 256 bytes; with the module's
//     own template "%1|%2|%3|%4|%5|%6" it is exactly the six tags joined
//     and cut to 255 bytes, where the model can tell the tags' bytes;
//   - the reader and its header view are given back before it returns.
// Attribute values are at most 65,535 bytes: the runtime's lengths are 16-bit.
#include <windows.h>

#include <stddef.h>
#include <string.h>
#include <wctype.h>

#include <algorithm>
#include <string>
#include <vector>

#include "contract_random.h"
#include "plugin/module.h"
#include "standin_control.h"

namespace {

enum { kDword = 0, kString = 1, kQword = 4, kWord = 5, kTypeCount = 7 };
enum { kRecordOffset = 64, kGuardAfter = 64 };
enum Tag { kArtist, kAlbum, kTitle, kTrack, kGenre, kDate, kTagCount };

const wchar_t *const kKnownNames[] = {L"Duration",  L"Bitrate",       L"FileSize", L"Title",
                                      L"Author",    L"WM/Composer",   L"WM/Genre", L"WM/AlbumTitle",
                                      L"WM/Year",   L"WM/TrackNumber"};
const wchar_t *const kUnknownNames[] = {L"WM/Track",  L"Description", L"WM/AlbumArtist", L"Duration ",
                                        L"Durationx", L"Bitrat",      L"WM/",            L"Title2",
                                        L"Is_Protected", L"WM/Year/", L" Title",         L"FileSizes"};

struct Coverage {
    uint64_t scenarios, queries, attributes, storedNumbers, storedTexts, exactTitles, partTitles;
    uint64_t noReader, failedHeaderSteps, nonPcmFormats;
} coverage;

struct Attribute {
    std::wstring units;  // exactly the name units the runtime sends
    int type;
    std::vector<uint8_t> value;
};

// What a tag text must be: exact bytes when the model can tell them.
struct TagText {
    std::string bytes;
    bool known = true;
};

struct InfoModel {
    bool hasDuration = false, hasBitrate = false, hasFileSize = false;
    uint32_t durationMs = 0, bitrate = 0, fileSize = 0;
    TagText tags[kTagCount];
};

struct Format {
    bool scripted;  // false: the stand-in's default, 44100/2/16 PCM
    uint16_t tag;
    uint32_t rate;
    uint16_t channels, bits;
};

// ---------------------------------------------------------------- the model

int TagOf(const std::wstring &name) {
    if (name == L"Title") return kTitle;
    if (name == L"Author" || name == L"WM/Composer") return kArtist;
    if (name == L"WM/Genre") return kGenre;
    if (name == L"WM/AlbumTitle") return kAlbum;
    if (name == L"WM/Year") return kDate;
    if (name == L"WM/TrackNumber") return kTrack;
    return -1;
}

uint64_t LittleEndian(const std::vector<uint8_t> &value, size_t bytes) {
    uint64_t number = 0;
    for (size_t at = bytes; at-- > 0;) number = number << 8 | value[at];
    return number;
}

// Whether the ANSI code page maps this UTF-16 unit to the byte of the same
// value: plain ASCII everywhere, and Latin-1 letters in code page 1252.
bool MapsToItself(uint16_t unit) {
    static const bool westernPage = GetACP() == 1252;
    return (unit >= 1 && unit < 0x80) || (westernPage && unit >= 0xA0 && unit <= 0xFF);
}

// A text tag takes numbers as decimal text and anything else as UTF-16 up
// to its first zero unit or its end; an empty text keeps what was there.
void StoreText(const Attribute &a, TagText *tag) {
    size_t size = a.type == kDword ? 4 : a.type == kQword ? 8 : a.type == kWord ? 2 : 0;
    if (size) {
        if (a.value.size() < size) return;
        *tag = TagText{std::to_string(LittleEndian(a.value, size)), true};
        return;
    }
    std::string bytes;
    bool known = true;
    for (size_t at = 0; at + 1 < a.value.size(); at += 2) {
        uint16_t unit = static_cast<uint16_t>(a.value[at] | a.value[at + 1] << 8);
        if (unit == 0) break;
        known = known && MapsToItself(unit);
        bytes += static_cast<char>(unit);
    }
    if (bytes.empty()) return;
    if (bytes.size() > 255) bytes.resize(255);
    *tag = TagText{known ? bytes : std::string(), known};
}

void Apply(const Attribute &a, InfoModel *m) {
    // The name is compared up to its first zero unit, as a C string.
    std::wstring name = a.units.substr(0, a.units.find(L'\0'));
    size_t length = a.value.size();
    if (name == L"Duration") {
        if (length < 8) return;
        m->hasDuration = true;
        m->durationMs = static_cast<uint32_t>(LittleEndian(a.value, 8) / 10000);
    } else if (name == L"Bitrate") {
        if (length < 4) return;
        m->hasBitrate = true;
        m->bitrate = static_cast<uint32_t>(LittleEndian(a.value, 4));
    } else if (name == L"FileSize") {
        if (length < 4) return;
        m->hasFileSize = true;
        m->fileSize = static_cast<uint32_t>(LittleEndian(a.value, 4));
    } else if (TagOf(name) >= 0) {
        StoreText(a, &m->tags[TagOf(name)]);
    }
}

// ---------------------------------------------------------------- generation

std::wstring NameUnits(Rng &rng, bool *terminated) {
    *terminated = true;
    std::wstring name = rng.Pick(kKnownNames);
    uint32_t roll = rng.Below(100);
    if (roll < 50) {
        // a known name as the runtime sends it
    } else if (roll < 60) {
        *terminated = false;  // a known name sent without its terminator
    } else if (roll < 70) {
        for (wchar_t &unit : name)
            if (iswalpha(unit) && rng.Percent(40)) unit = iswupper(unit) ? towlower(unit) : towupper(unit);
    } else if (roll < 75) {
        name += L'\0';  // a zero inside the counted units, then more
        name += L"junk";
        *terminated = rng.Percent(50);
    } else if (roll < 85) {
        name = rng.Pick(kUnknownNames);
    } else if (roll < 92) {
        name.clear();
        for (uint32_t n = rng.Between(1, 20); n > 0; --n) name += static_cast<wchar_t>(rng.Between(1, 0x7F));
        *terminated = rng.Percent(70);
    } else if (roll < 95) {
        name.clear();  // no units at all, or a lone terminator
        *terminated = rng.Percent(50);
    } else {
        name.assign(rng.Between(200, 3000), L'x');
        *terminated = rng.Percent(50);
    }
    if (*terminated) name += L'\0';
    return name;
}

void PushUnit(std::vector<uint8_t> *value, uint16_t unit) {
    value->push_back(static_cast<uint8_t>(unit));
    value->push_back(static_cast<uint8_t>(unit >> 8));
}

std::vector<uint8_t> TextValue(Rng &rng) {
    static const uint32_t kLengths[] = {0, 1, 2, 127, 254, 255, 256, 257, 511, 512, 513, 1000};
    uint32_t roll = rng.Below(100);
    uint32_t units = roll < 40 ? rng.Pick(kLengths) : roll < 85 ? rng.Between(1, 40) : rng.Between(0, 32767);
    uint32_t kind = rng.Below(100);  // <60 ASCII, <80 Latin-1 as well, else any unit
    std::vector<uint8_t> value;
    for (uint32_t n = 0; n < units; ++n) {
        uint16_t unit;
        if (kind < 60 || rng.Percent(50))
            unit = static_cast<uint16_t>(rng.Between(0x20, 0x7E));
        else if (kind < 80)
            unit = static_cast<uint16_t>(rng.Between(0xA0, 0xFF));
        else
            unit = static_cast<uint16_t>(rng.Between(1, 0xFFFF));
        PushUnit(&value, unit);
    }
    uint32_t end = rng.Below(100);
    if (end < 55) {
        PushUnit(&value, 0);
    } else if (end < 65 && units > 1) {
        uint32_t at = rng.Below(units);
        value[at * 2] = value[at * 2 + 1] = 0;  // a zero unit inside the text
    }
    if (rng.Percent(20)) value.push_back(static_cast<uint8_t>(rng.Between(0x20, 0x7E)));  // an odd length
    if (value.size() > 65535) value.resize(65535);
    return value;
}

std::vector<uint8_t> AnyValue(Rng &rng) {
    static const uint32_t kNumberLengths[] = {0, 1, 2, 3, 4, 5, 7, 8, 9, 12, 16};
    uint32_t roll = rng.Below(100);
    std::vector<uint8_t> value;
    if (roll < 45) {
        value.resize(rng.Pick(kNumberLengths));
    } else if (roll < 85) {
        return TextValue(rng);
    } else if (roll < 95) {
        value.resize(rng.Between(0, 65535));
    } else {
        value.assign(rng.Between(1, 600), 0);  // all zero
        return value;
    }
    for (uint8_t &byte : value) byte = static_cast<uint8_t>(rng.Next());
    return value;
}

Format MakeFormat(Rng &rng) {
    static const uint16_t kTags[] = {0, 1, 1, 1, 0xFFFE, 0xFFFE, 3, 0x161, 2};
    static const uint32_t kRates[] = {0, 8000, 11025, 22050, 44100, 48000, 96000, 192000};
    static const uint16_t kChannels[] = {0, 1, 2, 2, 6, 8, 65535};
    static const uint16_t kBits[] = {0, 8, 16, 16, 24, 32, 65535};
    Format format{false, 1, 44100, 2, 16};
    if (rng.Percent(35)) return format;
    format.scripted = true;
    format.tag = rng.Pick(kTags);
    format.rate = rng.Percent(90) ? rng.Pick(kRates) : static_cast<uint32_t>(rng.Next());
    format.channels = rng.Pick(kChannels);
    format.bits = rng.Pick(kBits);
    return format;
}

// ---------------------------------------------------------------- a query

// The player's record inside a larger buffer, so that a write outside it shows.
struct GuardedRecord {
    alignas(8) uint8_t bytes[kRecordOffset + sizeof(FileInfo) + kGuardAfter];
    FileInfo *info() { return reinterpret_cast<FileInfo *>(bytes + kRecordOffset); }
};

void Put32(uint8_t *bytes, size_t offset, uint32_t value) { memcpy(bytes + kRecordOffset + offset, &value, 4); }

// The record's field at a byte offset, for failure messages.
const char *FieldAt(long offset) {
    static const char *const kFields[] = {"fileSize", "seekable", "reserved", "durationMs",
                                          "bitrate",  "sampleRate", "channels", "bitsPerSample"};
    if (offset < 0 || offset >= static_cast<long>(sizeof(FileInfo))) return "outside the record";
    if (offset < 256) return "title";
    return kFields[(offset - 256) / 4];
}

// A title as C-style text, so a failure message stays printable.
std::string Printable(const std::string &text) {
    std::string shown;
    for (unsigned char c : text)
        shown += c >= 0x20 && c < 0x7F ? std::string(1, static_cast<char>(c)) : Say("\\x", std::hex, int(c));
    return shown;
}

class InfoScenario {
  public:
    explicit InfoScenario(uint64_t seed) : rng_(seed) {}
    std::string Run();

  private:
    struct ScriptedFile {
        std::string name;
        bool scripted;  // false: Open fails with "file not found"
        std::vector<Attribute> attributes;
        Format format;
    };
    ScriptedFile ScriptFile(int number);
    void Query(InputModule *module, GuardedRecord *record, int number);
    void CheckRecord(const GuardedRecord &record, const GuardedRecord &expected);
    void CheckTitle(const FileInfo &info, const InfoModel &model, const std::vector<int> &order);

    Rng rng_;
    Verdict verdict_;
};

// A file with random attributes and output format, told to the stand-in.
InfoScenario::ScriptedFile InfoScenario::ScriptFile(int number) {
    ScriptedFile file;
    file.name = Say("C:\\contract\\tags", number, ".wma");
    std::wstring wide(file.name.begin(), file.name.end());
    file.scripted = !rng_.Percent(5);
    int id = file.scripted ? Standin_DefineFile(wide.c_str()) : -1;
    file.attributes.resize(rng_.Percent(5) ? rng_.Between(20, 40) : rng_.Between(0, 12));
    for (Attribute &a : file.attributes) {
        bool terminated;
        a.units = NameUnits(rng_, &terminated);
        a.type = rng_.Percent(50) ? kString : static_cast<int>(rng_.Below(kTypeCount));
        a.value = AnyValue(rng_);
        uint16_t length = static_cast<uint16_t>(a.value.size());
        if (terminated && a.units.find(L'\0') == a.units.size() - 1)
            Standin_AddAttribute(id, a.units.c_str(), a.type, a.value.data(), length);
        else
            Standin_AddRawAttribute(id, a.units.data(), static_cast<uint16_t>(a.units.size()), a.type,
                                    a.value.data(), length);
        std::string shown(a.units.begin(), a.units.begin() + std::min<size_t>(a.units.size(), 24));
        for (char &c : shown) c = c ? c : '0';
        verdict_.Step(Say("  attribute '", shown, "' (", a.units.size(), " units) type ", a.type, ", ",
                          a.value.size(), " bytes"));
    }
    file.format = MakeFormat(rng_);
    const Format &format = file.format;
    if (format.scripted) Standin_SetOutputFormat(id, format.tag, format.rate, format.channels, format.bits);
    return file;
}

void InfoScenario::Query(InputModule *module, GuardedRecord *record, int number) {
    ScriptedFile file = ScriptFile(number);
    const std::vector<Attribute> &attributes = file.attributes;
    const Format &format = file.format;

    uint32_t failures = 0;
    if (rng_.Percent(40)) {
        static const uint32_t kSteps[] = {kFailCreate, kFailOpen, kFailQueryHeaderInfo, kFailGetAttributeCount,
                                          kFailGetAttributeByIndex};
        for (uint32_t step : kSteps)
            if (rng_.Percent(15)) failures |= step;
    }
    Standin_SetFailures(failures);

    // The module's own template names tags joined by '|': all six
    // ("%1|%2|%3|%4|%5|%6"), all six backwards, or one alone.
    bool ownTemplate = rng_.Percent(80);
    std::vector<int> order;
    uint32_t shape = rng_.Below(100);
    for (int tag = 0; tag < kTagCount; ++tag) order.push_back(shape < 60 ? tag : kTagCount - 1 - tag);
    if (shape >= 80) order.assign(1, static_cast<int>(rng_.Below(kTagCount)));
    std::string templateText;
    for (int tag : order) templateText += Say(templateText.empty() ? "" : "|", "%", tag + 1);
    if (!ownTemplate) order.clear();
    module->settings.templateChoice = ownTemplate ? kUseOwnTemplate : kUsePlayerTemplate;
    strcpy(module->settings.titleTemplate, templateText.c_str());

    // The record: fresh garbage, or what the last query left (a player may reuse it).
    if (number == 0 || rng_.Percent(50))
        for (uint8_t &byte : record->bytes) byte = static_cast<uint8_t>(rng_.Next());
    GuardedRecord before = *record;

    // The model.
    bool hasReader = file.scripted && !(failures & (kFailCreate | kFailOpen));
    bool readsAttributes =
        hasReader && !(failures & (kFailQueryHeaderInfo | kFailGetAttributeCount | kFailGetAttributeByIndex));
    coverage.noReader += !hasReader;
    coverage.failedHeaderSteps += hasReader && !readsAttributes;
    InfoModel model;
    if (readsAttributes)
        for (const Attribute &a : attributes) Apply(a, &model);
    Format expectedFormat{false, 1, 44100, 2, 16};
    bool pcm = format.tag == 1 || format.tag == 0xFFFE;
    if (hasReader && pcm && format.rate && format.channels && format.bits) expectedFormat = format;
    coverage.nonPcmFormats += format.scripted && !pcm;

    verdict_.Step(Say("query ", number, ": ", file.scripted ? "scripted" : "unknown", " file, ", attributes.size(),
                      " attributes, format ", format.tag, "/", format.rate, "/", format.channels, "/", format.bits,
                      ", failures 0x", std::hex, failures, std::dec, ", template ",
                      ownTemplate ? templateText : "the player's"));

    StandinRecord start = Standin_Record();
    int32_t result = module->ops->GetFileInfo(module, file.name.c_str(), 0, record->info());
    StandinRecord end = Standin_Record();
    ++coverage.queries;
    coverage.attributes += attributes.size();

    verdict_.Check(result == 1, Say("GetFileInfo returned ", result));
    verdict_.Check(end.readersAlive == start.readersAlive, "the query kept its reader");
    verdict_.Check(end.propsAlive == start.propsAlive, "the query kept the output properties");
    verdict_.Check(module->reader == nullptr && module->headerInfo == nullptr,
                   "the module still points at the query's reader");

    GuardedRecord expected = before;
    Put32(expected.bytes, offsetof(FileInfo, seekable), 1);
    Put32(expected.bytes, offsetof(FileInfo, reserved), 0);
    Put32(expected.bytes, offsetof(FileInfo, sampleRate), expectedFormat.rate);
    Put32(expected.bytes, offsetof(FileInfo, channels), expectedFormat.channels);
    Put32(expected.bytes, offsetof(FileInfo, bitsPerSample), expectedFormat.bits);
    if (model.hasDuration) Put32(expected.bytes, offsetof(FileInfo, durationMs), model.durationMs);
    if (model.hasBitrate) Put32(expected.bytes, offsetof(FileInfo, bitrate), model.bitrate);
    if (model.hasFileSize) Put32(expected.bytes, offsetof(FileInfo, fileSize), model.fileSize);
    coverage.storedNumbers += model.hasDuration + model.hasBitrate + model.hasFileSize;
    CheckRecord(*record, expected);
    CheckTitle(*record->info(), model, order);
}

// Every byte but the title's: the guards around the record, its fixed
// fields and its numbers.
void InfoScenario::CheckRecord(const GuardedRecord &record, const GuardedRecord &expected) {
    for (size_t at = 0; at < sizeof(expected.bytes); ++at) {
        bool inTitle = at >= kRecordOffset && at < kRecordOffset + sizeof(FileInfo::title);
        if (inTitle || expected.bytes[at] == record.bytes[at]) continue;
        long offset = static_cast<long>(at) - kRecordOffset;
        verdict_.Check(false, Say("record byte at offset ", offset, " (", FieldAt(offset), ") is ",
                                  int(record.bytes[at]), ", expected ", int(expected.bytes[at])));
        return;
    }
}

// With the module's own template (order: the tags it names), the title is
// the tags joined by '|' and cut to 255 bytes, exactly as far as the model
// knows the tags' bytes; with the player's template (order empty) it is
// only checked to end within its field.
void InfoScenario::CheckTitle(const FileInfo &info, const InfoModel &model, const std::vector<int> &order) {
    const char *end = static_cast<const char *>(memchr(info.title, 0, sizeof(info.title)));
    if (!verdict_.Check(end != nullptr, "the title has no terminator within its 256 bytes") || order.empty()) return;
    std::string title(info.title, end);

    // The named tags joined by '|', as far as the model knows their bytes.
    std::string joined;
    bool whole = true;
    for (size_t at = 0; at < order.size() && whole; ++at) {
        int tag = order[at];
        if (at) joined += '|';
        whole = model.tags[tag].known;
        joined += model.tags[tag].bytes;
        coverage.storedTexts += !model.tags[tag].bytes.empty() || !model.tags[tag].known;
    }
    if (joined.size() > 255) joined.resize(255);
    if (whole) {
        ++coverage.exactTitles;
        verdict_.Check(title == joined,
                       Say("title is '", Printable(title), "', expected '", Printable(joined), "'"));
    } else {
        ++coverage.partTitles;
        verdict_.Check(title.compare(0, joined.size(), joined) == 0,
                       Say("title is '", Printable(title), "', expected it to begin '", Printable(joined), "'"));
    }
}

std::string InfoScenario::Run() {
    Standin_Reset();
    StandinRecord start = Standin_Record();
    InputModule *module = Velmor_GetInputModule2(GetModuleHandle(nullptr), nullptr);
    if (!verdict_.Check(module != nullptr, "no module")) return verdict_.Report();
    GuardedRecord record;
    int queries = static_cast<int>(rng_.Between(1, 3));
    for (int number = 0; number < queries && !verdict_.Failed(); ++number) Query(module, &record, number);
    module->ops->Release(module);
    Standin_SetFailures(0);
    StandinRecord end = Standin_Record();
    verdict_.Check(end.readersAlive == start.readersAlive && end.buffersAlive == start.buffersAlive,
                   "readers or samples alive after the queries");
    ++coverage.scenarios;
    return verdict_.Failed() ? verdict_.Report() : std::string();
}

}  // namespace

std::string RunInfoScenario(uint64_t seed) { return InfoScenario(seed).Run(); }

std::string InfoCoverage() {
    const Coverage &c = coverage;
    return Say(c.scenarios, " scenarios, ", c.queries, " queries, ", c.attributes, " attributes, ", c.storedNumbers,
               " numbers stored, ", c.storedTexts, " tags in titles, titles exact ", c.exactTitles, " / in part ",
               c.partTitles, ", queries without a reader ", c.noReader, ", with a failing header step ",
               c.failedHeaderSteps, ", non-PCM formats ", c.nonPcmFormats);
}
