// The program's own minimal XML tree: elements and their text, nothing else
// (no attributes, no self-closing tags, no declarations or comments). It
// stores the recording record, the analysis parameter sets, the marks, the
// colour maps and the play-speed list, is written as text into the recording
// file's XML form and parsed back from it.
//
// Written form of a node: "<" name ">" text children "</" name ">", with no
// white space added. The writer escapes & < > " ' in texts as the five
// entities; the parser unescapes them in one pass, so every text reads back
// exactly as it was stored. Texts written unescaped by older writers still
// parse: a text piece runs up to the next "<", and a "&" that starts no known
// entity stays as it is.
//
// Parsing never recurses and never reads past the given length: truncated,
// unbalanced or huge input gives the tree read so far. Nesting deeper than
// kMaxDepth ends the parse at the tag that would open the deeper level.
// Destroying, copying and writing a tree do not recurse either.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace VkitXML {

class Node {
public:
    static constexpr std::size_t kMaxDepth = 256;

    Node() = default;
    explicit Node(std::string name);
    Node(std::string name, std::string text);
    virtual ~Node();
    Node(const Node&) = delete;
    Node& operator=(const Node&) = delete;

    // Destroys all children (and their subtrees).
    virtual void destroyChildren();

    const std::string& name() const { return m_name; }
    void setName(std::string name) { m_name = std::move(name); }
    const std::string& text() const { return m_text; }
    void setText(std::string text) { m_text = std::move(text); }
    Node* parent() const { return m_parent; }
    const std::vector<std::unique_ptr<Node>>& children() const { return m_children; }
    std::size_t childCount() const { return m_children.size(); }

    // A deep copy without a parent.
    std::unique_ptr<Node> clone() const;

    // Building. Each returns the appended child.
    Node* addChild(std::unique_ptr<Node> child);
    Node* addChildElement(std::string_view name, std::string_view text);
    Node* addChildElement(std::string_view name, const char* text);
    Node* addChildElement(std::string_view name, const std::string& text);
    Node* addChildElement(std::string_view name, std::int32_t value);   // decimal text
    Node* addChildElement(std::string_view name, std::int64_t value);   // decimal text
    Node* addChildElement(std::string_view name, double value);         // 16 significant digits, "%.16g"

    // Reading. Each getter returns whether the child was found and leaves the
    // output untouched when it was not. Numbers are read like the C library's
    // decimal conversions: leading blanks, a sign, the digits up to the first
    // other character; a text without digits reads as 0. Integers saturate at
    // the limits of their type.
    const Node* findChild(std::string_view name, std::size_t index = 0) const;
    Node* findChild(std::string_view name, std::size_t index = 0);
    // Appends every child of that name to `list`; returns how many there were.
    std::size_t collectChildren(std::string_view name, std::vector<const Node*>& list) const;
    bool getInt(std::string_view name, std::int32_t& value) const;
    bool getInt64(std::string_view name, std::int64_t& value) const;
    bool getFlag(std::string_view name, bool& value) const;  // true when the integer is not 0
    bool getDouble(std::string_view name, double& value) const;
    bool getString(std::string_view name, std::string& value) const;
    // Copies at most `length` characters like strncpy: a terminator (and zero
    // fill) only where it fits.
    bool getText(std::string_view name, char* buffer, std::size_t length) const;

    // The number of characters of the written form.
    std::size_t writtenLength() const;
    // Writes the written form at `buffer` (writtenLength() characters, no
    // terminator) and returns its length.
    std::size_t write(char* buffer) const;
    std::string toString() const;

    // A new root from `length` characters of `text`, or null when they hold no "<".
    static std::unique_ptr<Node> parse(const char* text, std::size_t length);
    static std::unique_ptr<Node> parse(std::string_view text) { return parse(text.data(), text.size()); }

    // Text conversions used by the tree (exposed for the record code and tests).
    static std::string escape(std::string_view text);
    static std::string unescape(std::string_view text);
    static std::int64_t parseInt64(std::string_view text);
    static double parseDouble(std::string_view text);
    static std::string formatDouble(double value);

private:
    static void releaseSubtrees(std::vector<std::unique_ptr<Node>>& list);

    std::string m_name;
    std::string m_text;
    Node* m_parent = nullptr;
    std::vector<std::unique_ptr<Node>> m_children;
};

}  // namespace VkitXML
