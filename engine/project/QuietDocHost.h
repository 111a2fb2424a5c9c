// A document host that keeps what a document says instead of showing it: the
// message of a recording that cannot be read goes into the project (or a
// shard) beside the recording, which names the file already.
#pragma once

#include "document/DocHost.h"

#include <string>
#include <utility>

class QuietDocHost : public IDocHost {
public:
    explicit QuietDocHost(std::string file) : m_prefix(std::move(file) + ": ") {}
    std::string messages;  // "; " between them
    void message(const std::string& text) override
    {
        const std::string own = text.rfind(m_prefix, 0) == 0 ? text.substr(m_prefix.size()) : text;
        messages += (messages.empty() ? "" : "; ") + own;
    }

private:
    std::string m_prefix;
};
