// The title template languages, the cut to the title field and the file-name
// rule, built natively under AddressSanitizer and UndefinedBehaviorSanitizer.
#include <gtest/gtest.h>

#include <string.h>

#include <initializer_list>
#include <string>

#include "info/text_limit.h"
#include "info/title_template.h"
#include "plugin/file_name.h"

namespace {

// Bytes 0x81..0xFE lead a two-byte character, as in the East Asian ANSI pages.
size_t HighLeads(unsigned char byte) { return byte >= 0x81 && byte <= 0xFE ? 2 : 1; }

TagSet ExampleTags() {
    TagSet tags;
    memset(&tags, 0, sizeof(tags));
    strcpy(tags.artist, "A");
    strcpy(tags.album, "B");
    strcpy(tags.title, "T");
    strcpy(tags.trackNumber, "7");
    strcpy(tags.genre, "G");
    strcpy(tags.date, "2002");
    return tags;
}

TagSet EmptyTags() {
    TagSet tags;
    memset(&tags, 0, sizeof(tags));
    return tags;
}

// The expanders write exactly one title field; the bytes after it must stay.
struct Field {
    char bytes[kTitleSize + 16];
    Field() { memset(bytes, 0x5A, sizeof(bytes)); }
    void ExpectGuardIntact() const {
        for (size_t at = kTitleSize; at < sizeof(bytes); ++at) ASSERT_EQ(0x5A, static_cast<unsigned char>(bytes[at]));
    }
};

std::string Own(const char *templateText, const TagSet &tags, CharWidthFn lead = nullptr) {
    Field field;
    ExpandOwnTemplate(templateText, tags, lead, field.bytes);
    field.ExpectGuardIntact();
    EXPECT_LE(strlen(field.bytes), 255u);
    return field.bytes;
}

std::string Host(const char *templateText, const TagSet &tags, CharWidthFn lead = nullptr) {
    Field field;
    ExpandHostTemplate(templateText, tags, lead, field.bytes);
    field.ExpectGuardIntact();
    EXPECT_LE(strlen(field.bytes), 255u);
    return field.bytes;
}

TEST(OwnTemplate, NumberedPlaceholders) {
    const TagSet tags = ExampleTags();
    EXPECT_EQ("A - T", Own("%1 - %3", tags));
    EXPECT_EQ(" - ", Own("%1 - %3", EmptyTags()));
    EXPECT_EQ("7. T (2002)", Own("%4. %3 (%6)", tags));
    EXPECT_EQ("A|B|T|7|G|2002", Own("%1|%2|%3|%4|%5|%6", tags));
    EXPECT_EQ("", Own("", tags));
}

TEST(OwnTemplate, PercentWithoutPlaceholder) {
    const TagSet tags = ExampleTags();
    EXPECT_EQ("100", Own("100%", tags));
    EXPECT_EQ("x", Own("%x", tags));
    EXPECT_EQ("x", Own("%7x", tags));
    EXPECT_EQ("A", Own("%%1", tags));
    EXPECT_EQ("", Own("%0", tags));
    EXPECT_EQ("", Own("%%", tags));
    EXPECT_EQ("", Own("%8%9", tags));
    EXPECT_EQ("a b", Own("a% b", tags));
    // The bytes next to the digits are no placeholders.
    EXPECT_EQ("/:", Own("%/%:", tags));
}

TEST(HostTemplate, NamedPlaceholders) {
    const TagSet tags = ExampleTags();
    EXPECT_EQ("A - T", Host("%LEADARTIST% - %TITLE%", tags));
    EXPECT_EQ("T", Host("%title%", tags));
    EXPECT_EQ("7 B G 2002", Host("%TrackNum% %album% %GENRE% %Date%", tags));
    EXPECT_EQ(" - ", Host("%LEADARTIST% - %TITLE%", EmptyTags()));
    EXPECT_EQ("", Host("", tags));
}

TEST(HostTemplate, UnclosedAndUnknownNames) {
    const TagSet tags = ExampleTags();
    EXPECT_EQ("bar", Host("%FOO%bar", tags));
    EXPECT_EQ("ab", Host("a%%b", tags));
    EXPECT_EQ("T", Host("%TITLE", tags));
    EXPECT_EQ("50", Host("50% off", tags));
    EXPECT_EQ("x", Host("x%", tags));
    EXPECT_EQ("", Host("%", tags));
    // The closing '%' is consumed: the next one opens a new name.
    EXPECT_EQ("TA", Host("%TITLE%%LEADARTIST%", tags));
    EXPECT_EQ("", Host("%TITLEX%", tags));
    EXPECT_EQ("", Host("%TITL%", tags));
}

// --- cutting to the 255-byte title field

std::string Repeat(const char *unit, size_t times) {
    std::string text;
    for (size_t i = 0; i < times; ++i) text += unit;
    return text;
}

TEST(TitleCut, LongTitlesKeep255Bytes) {
    TagSet tags = EmptyTags();
    const std::string x255 = Repeat("x", 255);
    for (char *tag : {tags.artist, tags.album, tags.title, tags.trackNumber, tags.genre, tags.date})
        strcpy(tag, x255.c_str());
    EXPECT_EQ(x255, Own("%1%2%3%4%5%6", tags));
    EXPECT_EQ(x255, Host("%LEADARTIST%%ALBUM%%TITLE%%TRACKNUM%%GENRE%%DATE%", tags));

    strcpy(tags.artist, Repeat("y", 254).c_str());
    EXPECT_EQ(Repeat("y", 254) + "z", Own("%1z%1", tags));
    EXPECT_EQ(Repeat("y", 254) + "z", Host("%LEADARTIST%z%LEADARTIST%", tags));

    // A long template alone, without tags.
    const std::string longTemplate = Repeat("q", 400);
    EXPECT_EQ(Repeat("q", 255), Own(longTemplate.c_str(), tags));
    EXPECT_EQ(Repeat("q", 255), Host(longTemplate.c_str(), tags));
}

TEST(TitleCut, NeverSplitsADoubleByteCharacter) {
    TagSet tags = EmptyTags();
    // "a" then 127 two-byte characters: 255 bytes fit exactly.
    const std::string wide127 = Repeat("\x82\xA0", 127);
    strcpy(tags.title, wide127.c_str());
    EXPECT_EQ("a" + wide127, Own("a%3", tags, HighLeads));
    // One more byte in front pushes the last character's lead to byte 255:
    // it goes whole.
    EXPECT_EQ("ab" + Repeat("\x82\xA0", 126), Own("ab%3", tags, HighLeads));
    EXPECT_EQ("ab" + Repeat("\x82\xA0", 126), Host("ab%TITLE%", tags, HighLeads));
    // Without a lead-byte rule the cut is at 255 bytes.
    EXPECT_EQ(("ab" + wide127).substr(0, 255), Own("ab%3", tags));
}

TEST(TitleCut, TrailBytesInTheLeadRangeAreReadAsTrails) {
    TagSet tags = EmptyTags();
    // Every byte is in the lead range: the characters are pairs counted from
    // the start. 255 of them fit the field as they are; 256 cut to 254.
    strcpy(tags.title, Repeat("\x88", 255).c_str());
    strcpy(tags.artist, "\x88");
    EXPECT_EQ(Repeat("\x88", 255), Own("%3", tags, HighLeads));
    EXPECT_EQ(Repeat("\x88", 254), Own("%1%3", tags, HighLeads));
    // Shifted by a one-byte character, the 255th byte is a trail and stays.
    EXPECT_EQ("-" + Repeat("\x88", 254), Own("-%3", tags, HighLeads));
}

// With the ANSI code page set to UTF-8, characters of two, three and four
// bytes go whole or not at all.
TEST(TitleCut, NeverSplitsAUtf8Sequence) {
    TagSet tags = EmptyTags();
    const std::string e127 = Repeat("\xC3\xA9", 127);  // U+00E9, two bytes
    strcpy(tags.title, e127.c_str());
    EXPECT_EQ("a" + e127, Own("a%3", tags, Utf8CharWidth));
    EXPECT_EQ("ab" + Repeat("\xC3\xA9", 126), Host("ab%TITLE%", tags, Utf8CharWidth));
    const std::string euro85 = Repeat("\xE2\x82\xAC", 85);  // U+20AC, three bytes
    strcpy(tags.title, euro85.c_str());
    EXPECT_EQ(euro85, Own("%3", tags, Utf8CharWidth));
    EXPECT_EQ("a" + Repeat("\xE2\x82\xAC", 84), Own("a%3", tags, Utf8CharWidth));
    EXPECT_EQ("ab" + Repeat("\xE2\x82\xAC", 84), Own("ab%3", tags, Utf8CharWidth));
    strcpy(tags.title, Repeat("\xF0\x9F\x8E\xB5", 63).c_str());  // U+1F3B5, four bytes
    EXPECT_EQ("abc" + Repeat("\xF0\x9F\x8E\xB5", 63), Own("abc%3", tags, Utf8CharWidth));
    EXPECT_EQ("abcd" + Repeat("\xF0\x9F\x8E\xB5", 62), Own("abcd%3", tags, Utf8CharWidth));
    // A tag already cut elsewhere: its stray bytes count one each.
    EXPECT_EQ(2u, SafeCutLength("\xA9\xA9\xE2\x82\xAC", 5, 4, Utf8CharWidth));
}

TEST(SafeCut, Limits) {
    const char text[] = "abcdef";
    EXPECT_EQ(6u, SafeCutLength(text, 6, 6, nullptr));
    EXPECT_EQ(4u, SafeCutLength(text, 6, 4, nullptr));
    EXPECT_EQ(3u, SafeCutLength(text, 3, 4, HighLeads));
    EXPECT_EQ(0u, SafeCutLength(text, 6, 0, HighLeads));
    const char pairs[] = "\x81\x41\x81\x41\x81\x41";
    EXPECT_EQ(2u, SafeCutLength(pairs, 6, 3, HighLeads));
    EXPECT_EQ(4u, SafeCutLength(pairs, 6, 5, HighLeads));
    EXPECT_EQ(0u, SafeCutLength(pairs, 6, 1, HighLeads));
    // A text that ends in a lone lead byte and fits is kept as it is.
    EXPECT_EQ(3u, SafeCutLength("a\x81\x41", 3, 3, HighLeads));
}

TEST(SafeCut, CopyToFieldTerminates) {
    char field[8];
    memset(field, 0x5A, sizeof(field));
    CopyToField(field, 4, "abcdef", 6, nullptr);
    EXPECT_STREQ("abc", field);
    EXPECT_EQ(0x5A, field[4]);
    CopyToField(field, 1, "abcdef", 6, nullptr);
    EXPECT_STREQ("", field);
    CopyToField(field, 4, "a\x81\x41x", 4, HighLeads);
    EXPECT_STREQ("a\x81\x41", field);
    CopyToField(field, 4, "ab\x81\x41", 4, HighLeads);
    EXPECT_STREQ("ab", field);
}

// --- the module's file-name rule

TEST(PlayableName, ExtensionAfterTheLastDot) {
    EXPECT_TRUE(IsPlayableName("C:\\music\\song.WMA"));
    EXPECT_TRUE(IsPlayableName("song.wma"));
    EXPECT_TRUE(IsPlayableName("song.WmA"));
    EXPECT_TRUE(IsPlayableName(".wma"));
    EXPECT_TRUE(IsPlayableName("a.b.wma"));
    EXPECT_FALSE(IsPlayableName("song.wma.bak"));
    EXPECT_FALSE(IsPlayableName("C:\\a.wma\\song"));
    EXPECT_FALSE(IsPlayableName("song"));
    EXPECT_FALSE(IsPlayableName("song."));
    EXPECT_FALSE(IsPlayableName("song.wm"));
    EXPECT_FALSE(IsPlayableName("song.wmav"));
    EXPECT_FALSE(IsPlayableName("song.wma "));
    EXPECT_FALSE(IsPlayableName("song.mp3"));
    EXPECT_FALSE(IsPlayableName(""));
    EXPECT_FALSE(IsPlayableName(nullptr));
}

TEST(PlayableName, NetworkAddressesAreRefused) {
    EXPECT_FALSE(IsPlayableName("mms://server/song.wma"));
    EXPECT_FALSE(IsPlayableName("http://server/song.WMA"));
    EXPECT_FALSE(IsPlayableName("C:\\odd://name.wma"));
    EXPECT_TRUE(IsPlayableName("C:\\odd:/name.wma"));
}

}  // namespace
