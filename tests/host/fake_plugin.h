// What the fake input module (fake_plugin.dll) delivers, shared with the
// tests that check the host against it. Its behaviour is chosen by the file
// name: any name ending in ".fake" is played; "noformat" in the name gives a
// record without a format, "nostream" no stream, "silent" a stream of 0 bytes.
#pragma once

#include <stdint.h>

// The whole stream: chunks cycle through these sizes until it is used up.
const uint32_t kFakeStreamBytes = 100003;
const uint32_t kFakeChunkSizes[] = {40000, 1, 12345, 7};
// Seek(ms) moves the stream to byte ms * kFakeBytesPerMs.
const uint32_t kFakeBytesPerMs = 10;

// The byte at `offset` of the stream: no shift or repeat goes unnoticed.
inline uint8_t FakeStreamByte(uint32_t offset) {
    uint32_t x = offset * 0x9E3779B1u + 0x7F4A7C15u;
    x ^= x >> 13;
    x *= 0x5BD1E995u;
    return static_cast<uint8_t>(x >> 11);
}

// The record GetFileInfo fills (the title is "Fake <" + the player's
// template + ">").
const uint32_t kFakeFileSize = 123456;
const uint32_t kFakeDurationMs = 2500;
const uint32_t kFakeBitrate = 64000;
const int32_t kFakeSampleRate = 8000;
const int32_t kFakeChannels = 1;
const int32_t kFakeBitsPerSample = 8;

// Configure stores these and returns 0; ShowAbout returns kFakeAboutResult.
const uint8_t kFakeSavedChoice = 1;
#define FAKE_SAVED_TEMPLATE "fake %2"
const long kFakeAboutResult = 42;

// Set in the environment, this makes the export return null.
#define FAKE_NULL_MODULE_VARIABLE "FAKE_PLUGIN_NULL_MODULE"
