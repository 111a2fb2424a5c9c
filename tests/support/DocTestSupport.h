// Helpers for tests of the sound document: a host that records what it is
// told, and documents filled with known samples.
#pragma once

#include "document/CVesSoundDoc.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace vestest {

class RecordingHost : public IDocHost {
public:
    std::vector<std::string> messages;
    std::vector<ViewMessage> postedMessages;
    int combinedViewsAsked = 0;
    std::int64_t freeSpace = -1;  // −1: ask the file system
    bool cancelAfterFirstProgress = false;
    int progressCalls = 0;
    int compressedLevel = -40, compressedBefore = 10, compressedAfter = 10;

    void message(const std::string& text) override { messages.push_back(text); }
    void postViewMessage(ViewMessage message) override { postedMessages.push_back(message); }
    void openCombinedView() override { ++combinedViewsAsked; }
    std::vector<std::string> progressTexts;  // each text once, in the order first shown
    bool progress(const std::string& text, std::int64_t, std::int64_t) override
    {
        if (std::find(progressTexts.begin(), progressTexts.end(), text) == progressTexts.end())
            progressTexts.push_back(text);
        ++progressCalls;
        return !(cancelAfterFirstProgress && progressCalls > 1);
    }
    std::int64_t freeDiskSpace(const std::string& path) override
    {
        return freeSpace >= 0 ? freeSpace : IDocHost::freeDiskSpace(path);
    }
    bool askCompressedSaveParms(int& level, int& before, int& after) override
    {
        level = compressedLevel;
        before = compressedBefore;
        after = compressedAfter;
        return true;
    }
    std::string lastMessage() const { return messages.empty() ? std::string() : messages.back(); }
};

// Interleaved little-endian sample bytes of `frames` frames: a different,
// recognisable value in every sample, within the range of the width.
std::vector<std::uint8_t> patternSamples(int channels, int bits, std::int64_t frames, std::uint32_t seed = 1);

// Fills a document with the format and bytes given.
void fillDocument(CVesSoundDoc& doc, int channels, int bits, std::uint32_t rate, const std::vector<std::uint8_t>& bytes);

// All sample bytes of a document.
std::vector<std::uint8_t> documentBytes(CVesSoundDoc& doc);

}  // namespace vestest
