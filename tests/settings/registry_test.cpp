// The module's settings in Wine's real registry: first-run defaults, values
// the module cannot use, saving, and reading the player's own template.
#include <gtest/gtest.h>

#include <windows.h>
#include <sddl.h>

#include <string.h>

#include <string>
#include <vector>

#include "plugin/module.h"
#include "plugin/settings.h"
#include "registry_sandbox.h"

namespace {

// Stores exactly `size` bytes. The registry counts a text's terminator by
// itself when the writer left it out and a zero follows the text in memory,
// so the bytes are copied and followed by a non-zero byte.
void Store(const char *keyPath, const char *name, DWORD type, const void *data, DWORD size) {
    std::vector<BYTE> bytes(static_cast<const BYTE *>(data), static_cast<const BYTE *>(data) + size);
    bytes.push_back('#');
    ASSERT_EQ(ERROR_SUCCESS, WriteValue(keyPath, name, type, bytes.data(), size));
    StoredValue stored = ReadValue(keyPath, name);
    ASSERT_EQ(size, stored.data.size()) << "the registry did not store the bytes as given";
}

void StoreModuleValue(const char *name, DWORD type, const void *data, DWORD size) {
    Store(kModuleKeyPath, name, type, data, size);
}

// The module as the player creates it: the export loads the settings.
ModuleSettings CreateModuleSettings() {
    InputModule *module = Velmor_GetInputModule2(nullptr, nullptr);
    EXPECT_NE(nullptr, module);
    if (!module) return ModuleSettings{};
    ModuleSettings settings = module->settings;
    module->ops->Release(module);
    return settings;
}

void ExpectStoredChoice(uint8_t choice) {
    StoredValue stored = ReadValue(kModuleKeyPath, "id3ordial");
    ASSERT_EQ(ERROR_SUCCESS, stored.status);
    EXPECT_EQ(static_cast<DWORD>(REG_BINARY), stored.type);
    ASSERT_EQ(1u, stored.data.size());
    EXPECT_EQ(choice, static_cast<uint8_t>(stored.data[0]));
}

// The module writes the text's length as the byte count. The registry
// itself then counts the terminator that follows the text in the module's
// buffer (NT does so for text types), so the stored value is the text
// alone or the text and one zero; never anything longer.
void ExpectStoredTemplate(const std::string &text) {
    StoredValue stored = ReadValue(kModuleKeyPath, "Trackline");
    ASSERT_EQ(ERROR_SUCCESS, stored.status);
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), stored.type);
    std::string data = stored.data;
    if (!text.empty() && data.size() == text.size() + 1 && data.back() == '\0') data.pop_back();
    EXPECT_EQ(text, data);
}

class Registry : public ::testing::Test {
protected:
    void SetUp() override { RegDeleteTreeA(HKEY_CURRENT_USER, kPlayerKeyPath); }
    void TearDown() override { RegDeleteTreeA(HKEY_CURRENT_USER, kPlayerKeyPath); }
};

TEST_F(Registry, FirstRunCreatesTheKeyWithDefaults) {
    ASSERT_FALSE(KeyExists(kPlayerKeyPath));
    ModuleSettings settings = CreateModuleSettings();
    EXPECT_STREQ("%1 - %3", settings.titleTemplate);
    EXPECT_EQ(0, settings.templateChoice);
    ExpectStoredChoice(0);
    ExpectStoredTemplate("%1 - %3");

    // A second creation finds the values and leaves them as they are.
    settings = CreateModuleSettings();
    EXPECT_STREQ("%1 - %3", settings.titleTemplate);
    ExpectStoredChoice(0);
    ExpectStoredTemplate("%1 - %3");
}

TEST_F(Registry, StoredValuesLoad) {
    StoreModuleValue("Trackline", REG_SZ, "%3", 2);
    const BYTE one = 1;
    StoreModuleValue("id3ordial", REG_BINARY, &one, 1);
    ModuleSettings settings = CreateModuleSettings();
    EXPECT_STREQ("%3", settings.titleTemplate);
    EXPECT_EQ(1, settings.templateChoice);
    ExpectStoredTemplate("%3");
    ExpectStoredChoice(1);

    // A counted terminator, or bytes after a zero, are not part of the text.
    StoreModuleValue("Trackline", REG_SZ, "%2", 3);
    EXPECT_STREQ("%2", CreateModuleSettings().titleTemplate);
    StoreModuleValue("Trackline", REG_SZ, "ab\0cd", 5);
    EXPECT_STREQ("ab", CreateModuleSettings().titleTemplate);
    // Any choice byte is kept as stored.
    const BYTE seven = 7;
    StoreModuleValue("id3ordial", REG_BINARY, &seven, 1);
    EXPECT_EQ(7, CreateModuleSettings().templateChoice);
}

TEST_F(Registry, UnusableChoiceIsReplacedByOneZeroByte) {
    const BYTE two[] = {1, 1};
    StoreModuleValue("Trackline", REG_SZ, "%3", 2);
    StoreModuleValue("id3ordial", REG_BINARY, two, sizeof(two));
    EXPECT_EQ(0, CreateModuleSettings().templateChoice);
    ExpectStoredChoice(0);
    ExpectStoredTemplate("%3");  // the other value stays

    const DWORD word = 1;
    StoreModuleValue("id3ordial", REG_DWORD, &word, sizeof(word));
    EXPECT_EQ(0, CreateModuleSettings().templateChoice);
    ExpectStoredChoice(0);

    // A missing choice alone is written back; the template is kept.
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, kModuleKeyPath, 0, KEY_ALL_ACCESS, &key));
    RegDeleteValueA(key, "id3ordial");
    RegCloseKey(key);
    EXPECT_STREQ("%3", CreateModuleSettings().titleTemplate);
    ExpectStoredChoice(0);
    ExpectStoredTemplate("%3");
}

TEST_F(Registry, TemplateLengthLimits) {
    // 300 bytes do not fit: the default replaces them.
    const std::string text300(300, 'x');
    StoreModuleValue("Trackline", REG_SZ, text300.c_str(), 300);
    EXPECT_STREQ("%1 - %3", CreateModuleSettings().titleTemplate);
    ExpectStoredTemplate("%1 - %3");

    // 256 bytes are one too many.
    const std::string text256(256, 'y');
    StoreModuleValue("Trackline", REG_SZ, text256.c_str(), 256);
    EXPECT_STREQ("%1 - %3", CreateModuleSettings().titleTemplate);
    ExpectStoredTemplate("%1 - %3");

    // 255 bytes fit and load as their first 254 characters; the stored
    // value is left alone.
    std::string text255(255, 'z');
    text255[253] = '1';
    text255[254] = '2';
    StoreModuleValue("Trackline", REG_SZ, text255.c_str(), 255);
    ModuleSettings settings = CreateModuleSettings();
    EXPECT_EQ(text255.substr(0, 254), std::string(settings.titleTemplate));
    ExpectStoredTemplate(text255);

    // 254 characters and a counted terminator load whole.
    StoreModuleValue("Trackline", REG_SZ, text255.substr(0, 254).c_str(), 255);
    EXPECT_EQ(text255.substr(0, 254), std::string(CreateModuleSettings().titleTemplate));

    // A template stored as anything but text is replaced by the default.
    const DWORD word = 0x41424344;
    StoreModuleValue("Trackline", REG_DWORD, &word, sizeof(word));
    EXPECT_STREQ("%1 - %3", CreateModuleSettings().titleTemplate);
    ExpectStoredTemplate("%1 - %3");
    StoreModuleValue("Trackline", REG_BINARY, "%2", 2);
    EXPECT_STREQ("%1 - %3", CreateModuleSettings().titleTemplate);
    // Empty text is a template, the empty one.
    StoreModuleValue("Trackline", REG_SZ, "", 0);
    EXPECT_STREQ("", CreateModuleSettings().titleTemplate);
}

// Sets the module key's access list (SDDL); true when the registry took it.
bool RestrictModuleKey(const char *sddl) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl, SDDL_REVISION_1, &descriptor, nullptr))
        return false;
    HKEY key;
    LONG status = RegOpenKeyExA(HKEY_CURRENT_USER, kModuleKeyPath, 0, WRITE_DAC, &key);
    if (status == ERROR_SUCCESS) {
        status = RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, descriptor);
        RegCloseKey(key);
    }
    LocalFree(descriptor);
    return status == ERROR_SUCCESS;
}

TEST_F(Registry, ReadOnlyKeyStillGivesTheStoredSettings) {
    const BYTE one = 1;
    StoreModuleValue("id3ordial", REG_BINARY, &one, 1);
    StoreModuleValue("Trackline", REG_SZ, "%3 (%6)", 7);
    ASSERT_TRUE(RestrictModuleKey("D:P(A;;KR;;;WD)"));  // everyone may read, nobody may write
    HKEY key;
    bool writable = RegOpenKeyExA(HKEY_CURRENT_USER, kModuleKeyPath, 0, KEY_ALL_ACCESS, &key) == ERROR_SUCCESS;
    if (writable) RegCloseKey(key);

    ModuleSettings settings = CreateModuleSettings();
    EXPECT_EQ(1, settings.templateChoice);
    EXPECT_STREQ("%3 (%6)", settings.titleTemplate);
    if (!writable) {
        EXPECT_NE(0, SaveSettings(&settings)) << "a key nobody may write cannot be saved to";
    }
    ASSERT_TRUE(RestrictModuleKey("D:P(A;;KA;;;WD)"));
}

TEST_F(Registry, SaveWritesBothValues) {
    ModuleSettings settings = CreateModuleSettings();
    settings.templateChoice = 1;
    strcpy(settings.titleTemplate, "%3 / %1 (%6)");
    EXPECT_EQ(0, SaveSettings(&settings));
    ExpectStoredChoice(1);
    ExpectStoredTemplate("%3 / %1 (%6)");

    ModuleSettings loaded = CreateModuleSettings();
    EXPECT_EQ(1, loaded.templateChoice);
    EXPECT_STREQ("%3 / %1 (%6)", loaded.titleTemplate);

    // The longest template and an empty one survive the round trip.
    const std::string text254(254, 'w');
    strcpy(settings.titleTemplate, text254.c_str());
    settings.templateChoice = 0;
    EXPECT_EQ(0, SaveSettings(&settings));
    ExpectStoredTemplate(text254);
    ExpectStoredChoice(0);
    EXPECT_EQ(text254, std::string(CreateModuleSettings().titleTemplate));

    settings.titleTemplate[0] = '\0';
    EXPECT_EQ(0, SaveSettings(&settings));
    ExpectStoredTemplate("");
    EXPECT_STREQ("", CreateModuleSettings().titleTemplate);
}

TEST_F(Registry, SaveAfterTheKeyWasDeletedCreatesNothing) {
    ModuleSettings settings = CreateModuleSettings();
    ASSERT_TRUE(KeyExists(kModuleKeyPath));
    ASSERT_EQ(ERROR_SUCCESS, RegDeleteTreeA(HKEY_CURRENT_USER, kPlayerKeyPath));
    settings.templateChoice = 1;
    EXPECT_NE(0, SaveSettings(&settings));
    EXPECT_FALSE(KeyExists(kModuleKeyPath));
    EXPECT_FALSE(KeyExists(kPlayerKeyPath));

    // Only the module's key gone: the player's stays as it was.
    Store(kPlayerKeyPath, "TrackTitleTemplate", REG_SZ, "%TITLE%", 8);
    EXPECT_NE(0, SaveSettings(&settings));
    EXPECT_FALSE(KeyExists(kModuleKeyPath));
}

// ReadPlayerTemplate writes a 255-byte buffer; the test gives it more and
// checks the bytes past it stay untouched.
struct PlayerTemplate {
    bool found;
    std::string text;
};

PlayerTemplate ReadPlayer() {
    char buffer[kTemplateSize + 64];
    memset(buffer, 0xCC, sizeof(buffer));
    PlayerTemplate result;
    result.found = ReadPlayerTemplate(buffer);
    const void *end = memchr(buffer, 0, kTemplateSize);
    EXPECT_NE(nullptr, end) << "not terminated within 255 bytes";
    for (size_t at = kTemplateSize; at < sizeof(buffer); ++at)
        EXPECT_EQ(0xCC, static_cast<unsigned char>(buffer[at])) << "byte " << at << " overwritten";
    result.text = end ? std::string(buffer) : std::string();
    return result;
}

TEST_F(Registry, PlayerTemplate) {
    PlayerTemplate read = ReadPlayer();
    EXPECT_FALSE(read.found);

    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, kPlayerKeyPath, 0, nullptr, REG_OPTION_NON_VOLATILE,
                                             KEY_ALL_ACCESS, nullptr, &key, nullptr));
    RegCloseKey(key);
    read = ReadPlayer();
    EXPECT_TRUE(read.found);
    EXPECT_EQ("", read.text);

    Store(kPlayerKeyPath, "TrackTitleTemplate", REG_SZ, "%LEADARTIST% - %TITLE%", 23);
    read = ReadPlayer();
    EXPECT_TRUE(read.found);
    EXPECT_EQ("%LEADARTIST% - %TITLE%", read.text);
}

TEST_F(Registry, PlayerTemplateOfAnySizeOrType) {
    const std::vector<char> big(64 * 1024, 'p');
    Store(kPlayerKeyPath, "TrackTitleTemplate", REG_SZ, big.data(), static_cast<DWORD>(big.size()));
    PlayerTemplate read = ReadPlayer();
    EXPECT_TRUE(read.found);
    EXPECT_EQ("", read.text);

    const std::string text255(255, 'q');
    Store(kPlayerKeyPath, "TrackTitleTemplate", REG_BINARY, text255.data(), 255);
    read = ReadPlayer();
    EXPECT_TRUE(read.found);
    EXPECT_EQ(text255.substr(0, 254), read.text);

    const DWORD word = 0x43434343;
    Store(kPlayerKeyPath, "TrackTitleTemplate", REG_DWORD, &word, sizeof(word));
    read = ReadPlayer();
    EXPECT_TRUE(read.found);
    EXPECT_EQ("CCCC", read.text);

    Store(kPlayerKeyPath, "TrackTitleTemplate", REG_BINARY, "", 0);
    read = ReadPlayer();
    EXPECT_TRUE(read.found);
    EXPECT_EQ("", read.text);
}

}  // namespace
