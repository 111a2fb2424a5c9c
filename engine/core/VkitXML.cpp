#include "core/VkitXML.h"

#include "core/NumberText.h"

#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <utility>

namespace VkitXML {

namespace {

std::size_t escapedLength(std::string_view s)
{
    std::size_t n = s.size();
    for (char c : s) {
        switch (c) {
        case '&': n += 4; break;   // &amp;
        case '<':
        case '>': n += 3; break;   // &lt; &gt;
        case '"':
        case '\'': n += 5; break;  // &quot; &apos;
        default: break;
        }
    }
    return n;
}

char* appendEscaped(char* out, std::string_view s)
{
    for (char c : s) {
        const char* e = nullptr;
        switch (c) {
        case '&': e = "&amp;"; break;
        case '<': e = "&lt;"; break;
        case '>': e = "&gt;"; break;
        case '"': e = "&quot;"; break;
        case '\'': e = "&apos;"; break;
        default: *out++ = c; continue;
        }
        const std::size_t n = std::strlen(e);
        std::memcpy(out, e, n);
        out += n;
    }
    return out;
}

char* appendRaw(char* out, std::string_view s)
{
    if (!s.empty())
        std::memcpy(out, s.data(), s.size());
    return out + s.size();
}

void appendUnescaped(std::string& out, std::string_view s)
{
    static constexpr struct {
        std::string_view entity;
        char c;
    } kEntities[] = {{"&quot;", '"'}, {"&apos;", '\''}, {"&amp;", '&'}, {"&gt;", '>'}, {"&lt;", '<'}};
    out.reserve(out.size() + s.size());
    std::size_t i = 0;
    while (i < s.size()) {
        const std::size_t amp = s.find('&', i);
        if (amp == std::string_view::npos) {
            out.append(s.substr(i));
            break;
        }
        out.append(s.substr(i, amp - i));
        i = amp;
        bool replaced = false;
        for (const auto& e : kEntities) {
            if (s.substr(i, e.entity.size()) == e.entity) {
                out += e.c;
                i += e.entity.size();
                replaced = true;
                break;
            }
        }
        if (!replaced) {
            out += '&';
            ++i;
        }
    }
}

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

}  // namespace

Node::Node(std::string name) : m_name(std::move(name)) {}

Node::Node(std::string name, std::string text) : m_name(std::move(name)), m_text(std::move(text)) {}

Node::~Node()
{
    releaseSubtrees(m_children);
}

void Node::destroyChildren()
{
    releaseSubtrees(m_children);
}

void Node::releaseSubtrees(std::vector<std::unique_ptr<Node>>& list)
{
    // Every node is detached from its children before it is destroyed, so a
    // deep tree never recurses through the destructors.
    std::vector<std::unique_ptr<Node>> work = std::move(list);
    list.clear();
    while (!work.empty()) {
        std::unique_ptr<Node> n = std::move(work.back());
        work.pop_back();
        for (auto& k : n->m_children)
            work.push_back(std::move(k));
        n->m_children.clear();
    }
}

std::unique_ptr<Node> Node::clone() const
{
    auto root = std::make_unique<Node>(m_name, m_text);
    std::vector<std::pair<const Node*, Node*>> work{{this, root.get()}};
    while (!work.empty()) {
        auto [src, dst] = work.back();
        work.pop_back();
        for (const auto& c : src->m_children) {
            Node* copy = dst->addChild(std::make_unique<Node>(c->m_name, c->m_text));
            work.emplace_back(c.get(), copy);
        }
    }
    return root;
}

Node* Node::addChild(std::unique_ptr<Node> child)
{
    if (!child)
        return nullptr;
    child->m_parent = this;
    m_children.push_back(std::move(child));
    return m_children.back().get();
}

Node* Node::addChildElement(std::string_view name, std::string_view text)
{
    return addChild(std::make_unique<Node>(std::string(name), std::string(text)));
}

Node* Node::addChildElement(std::string_view name, const char* text)
{
    return addChildElement(name, std::string_view(text ? text : ""));
}

Node* Node::addChildElement(std::string_view name, const std::string& text)
{
    return addChildElement(name, std::string_view(text));
}

Node* Node::addChildElement(std::string_view name, std::int32_t value)
{
    return addChildElement(name, std::string_view(std::to_string(value)));
}

Node* Node::addChildElement(std::string_view name, std::int64_t value)
{
    return addChildElement(name, std::string_view(std::to_string(value)));
}

Node* Node::addChildElement(std::string_view name, double value)
{
    return addChildElement(name, std::string_view(formatDouble(value)));
}

const Node* Node::findChild(std::string_view name, std::size_t index) const
{
    for (const auto& c : m_children)
        if (c->m_name == name && index-- == 0)
            return c.get();
    return nullptr;
}

Node* Node::findChild(std::string_view name, std::size_t index)
{
    return const_cast<Node*>(std::as_const(*this).findChild(name, index));
}

std::size_t Node::collectChildren(std::string_view name, std::vector<const Node*>& list) const
{
    std::size_t n = 0;
    for (const auto& c : m_children)
        if (c->m_name == name) {
            list.push_back(c.get());
            ++n;
        }
    return n;
}

bool Node::getInt(std::string_view name, std::int32_t& value) const
{
    const Node* c = findChild(name);
    if (!c)
        return false;
    const std::int64_t v = parseInt64(c->m_text);
    constexpr std::int64_t lo = std::numeric_limits<std::int32_t>::min();
    constexpr std::int64_t hi = std::numeric_limits<std::int32_t>::max();
    value = static_cast<std::int32_t>(v < lo ? lo : (v > hi ? hi : v));
    return true;
}

bool Node::getInt64(std::string_view name, std::int64_t& value) const
{
    const Node* c = findChild(name);
    if (!c)
        return false;
    value = parseInt64(c->m_text);
    return true;
}

bool Node::getFlag(std::string_view name, bool& value) const
{
    const Node* c = findChild(name);
    if (!c)
        return false;
    value = parseInt64(c->m_text) != 0;
    return true;
}

bool Node::getDouble(std::string_view name, double& value) const
{
    const Node* c = findChild(name);
    if (!c)
        return false;
    value = parseDouble(c->m_text);
    return true;
}

bool Node::getString(std::string_view name, std::string& value) const
{
    const Node* c = findChild(name);
    if (!c)
        return false;
    value = c->m_text;
    return true;
}

bool Node::getText(std::string_view name, char* buffer, std::size_t length) const
{
    const Node* c = findChild(name);
    if (!c)
        return false;
    if (!buffer || length == 0)
        return true;
    const std::size_t n = c->m_text.size() < length ? c->m_text.size() : length;
    if (n)
        std::memcpy(buffer, c->m_text.data(), n);
    if (n < length)
        std::memset(buffer + n, 0, length - n);
    return true;
}

std::size_t Node::writtenLength() const
{
    std::size_t total = 0;
    std::vector<const Node*> work{this};
    while (!work.empty()) {
        const Node* n = work.back();
        work.pop_back();
        total += escapedLength(n->m_text) + 2 * n->m_name.size() + 5;
        for (const auto& c : n->m_children)
            work.push_back(c.get());
    }
    return total;
}

std::size_t Node::write(char* buffer) const
{
    char* out = buffer;
    struct Frame {
        const Node* node;
        std::size_t next;
    };
    auto open = [&](const Node* n) {
        *out++ = '<';
        out = appendRaw(out, n->m_name);
        *out++ = '>';
        out = appendEscaped(out, n->m_text);
    };
    std::vector<Frame> stack{{this, 0}};
    open(this);
    while (!stack.empty()) {
        Frame& f = stack.back();
        if (f.next < f.node->m_children.size()) {
            const Node* c = f.node->m_children[f.next++].get();
            open(c);
            stack.push_back({c, 0});
            continue;
        }
        *out++ = '<';
        *out++ = '/';
        out = appendRaw(out, f.node->m_name);
        *out++ = '>';
        stack.pop_back();
    }
    return static_cast<std::size_t>(out - buffer);
}

std::string Node::toString() const
{
    std::string s(writtenLength(), '\0');
    s.resize(write(s.data()));
    return s;
}

std::unique_ptr<Node> Node::parse(const char* text, std::size_t length)
{
    if (!text || length == 0)
        return nullptr;
    const char* p = static_cast<const char*>(std::memchr(text, '<', length));
    if (!p)
        return nullptr;
    const char* const end = text + length;

    // Reads the tag after a "<" at p - 1: up to the next ">", or an empty name
    // and the end of the text when there is none.
    auto readTag = [&]() -> std::string_view {
        const char* gt = static_cast<const char*>(std::memchr(p, '>', static_cast<std::size_t>(end - p)));
        if (!gt) {
            p = end;
            return {};
        }
        std::string_view tag(p, static_cast<std::size_t>(gt - p));
        p = gt + 1;
        return tag;
    };

    ++p;
    auto root = std::make_unique<Node>(std::string(readTag()));
    std::vector<Node*> open{root.get()};
    while (p < end && !open.empty()) {
        Node* current = open.back();
        const char* lt = static_cast<const char*>(std::memchr(p, '<', static_cast<std::size_t>(end - p)));
        const char* stop = lt ? lt : end;
        if (stop > p)
            appendUnescaped(current->m_text, std::string_view(p, static_cast<std::size_t>(stop - p)));
        if (!lt)
            break;
        p = lt + 1;
        const std::string_view tag = readTag();
        if (tag.size() == current->m_name.size() + 1 && tag.front() == '/' && tag.substr(1) == current->m_name) {
            open.pop_back();
            continue;
        }
        if (open.size() >= kMaxDepth)
            break;
        open.push_back(current->addChild(std::make_unique<Node>(std::string(tag))));
    }
    return root;
}

std::string Node::escape(std::string_view text)
{
    std::string s(escapedLength(text), '\0');
    appendEscaped(s.data(), text);
    return s;
}

std::string Node::unescape(std::string_view text)
{
    std::string s;
    appendUnescaped(s, text);
    return s;
}

std::int64_t Node::parseInt64(std::string_view text)
{
    std::size_t i = 0;
    while (i < text.size() && isBlank(text[i]))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    // Accumulate as a negative number so that the minimum is reachable.
    constexpr std::int64_t kMin = std::numeric_limits<std::int64_t>::min();
    std::int64_t v = 0;
    bool saturated = false;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        const int d = text[i] - '0';
        if (saturated)
            continue;
        if (v < (kMin + d) / 10) {
            saturated = true;
            v = kMin;
            continue;
        }
        v = v * 10 - d;
    }
    if (negative)
        return v;
    if (v == kMin)
        return std::numeric_limits<std::int64_t>::max();
    return -v;
}

double Node::parseDouble(std::string_view text)
{
    std::size_t i = 0;
    while (i < text.size() && isBlank(text[i]))
        ++i;
    if (i < text.size() && text[i] == '+' && (i + 1 >= text.size() || text[i + 1] != '-'))
        ++i;
    const char* first = text.data() + i;
    const char* last = text.data() + text.size();
    double v = 0;
    const auto res = std::from_chars(first, last, v, std::chars_format::general);
    if (res.ec == std::errc())
        return v;
    if (res.ec == std::errc::result_out_of_range) {
        // Overflow gives ±infinity and underflow 0, as the C library does.
        const std::string copy(first, last);
        return vkit::strtodC(copy.c_str(), nullptr);
    }
    return 0.0;
}

std::string Node::formatDouble(double value)
{
    char buf[64];
    const auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::general, 16);
    return std::string(buf, res.ptr);
}

}  // namespace VkitXML
