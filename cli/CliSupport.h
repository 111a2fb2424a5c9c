// Shared pieces of the subcommands: the document host of a terminal, option
// parsing helpers and JSON text.
#pragma once

#include "document/DocHost.h"
#include "records/VesSettings.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// Messages go to standard error, prefixed with the file being worked on;
// progress is shown on standard error when it is a terminal.
class CliDocHost : public IDocHost {
public:
    explicit CliDocHost(std::string context = {}) : m_context(std::move(context)) {}
    void setContext(const std::string& context) { m_context = context; }
    void message(const std::string& text) override;
    bool progress(const std::string& text, std::int64_t done, std::int64_t total) override;
    void endOperation() override;
    int messageCount() const { return m_messages; }
    // Parameters of a compressed save given on the command line.
    int silentLevelDb = -40, beforeMs = 10, afterMs = 10;
    bool askCompressedSaveParms(int& level, int& before, int& after) override;

private:
    std::string m_context;
    int m_messages = 0;
    bool m_showedProgress = false;
};

// The user's default data settings (time expansion, format of new documents).
const VesDefData& userDefaults();

std::optional<std::int64_t> parseInt(const std::string& text);
// A finite decimal number filling the whole text.
std::optional<double> parseNumber(const std::string& text);
// A window code 0..8, or its name: rectangular, parzen, hanning (hann), hamming, cosine; −1 otherwise.
int parseWindowName(const std::string& text);
std::string jsonString(const std::string& text);

class GuanoRecord;
// The fields of a GUANO record as info lists them, one indented line each.
void printGuanoFields(const GuanoRecord& g);
