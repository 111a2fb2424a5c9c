#include "CliOptions.h"

#include "CliSupport.h"

#include "core/NumberText.h"
#include "document/CVesSoundDoc.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <deque>
#include <mutex>

namespace {

std::vector<std::string> words(const char* list)
{
    std::vector<std::string> out;
    std::string w;
    for (const char* p = list; *p; ++p) {
        if (*p == '|') {
            out.push_back(w);
            w.clear();
        } else {
            w += *p;
        }
    }
    if (!w.empty())
        out.push_back(w);
    return out;
}

// "a, b or c"
std::string alternatives(const std::vector<std::string>& list, const char* last = " or ")
{
    std::string out;
    for (std::size_t i = 0; i < list.size(); ++i) {
        if (i > 0)
            out += i + 1 == list.size() ? last : ", ";
        out += list[i];
    }
    return out;
}

std::string numberText(double v)
{
    return vkit::formatC("%.15g", v);
}

// Checks and converts `text` for `spec`; false with `error` set.
bool takeValue(const OptionSpec& spec, const std::string& text, OptionValue& v, std::string& error)
{
    v.text = text;
    const std::vector<std::string> choices = words(spec.choices);
    for (std::size_t i = 0; i < choices.size(); ++i)
        if (text == choices[i]) {
            v.word = static_cast<int>(i);
            return true;
        }
    bool ok = false;
    switch (spec.kind) {
    case OptionKind::Flag:
    case OptionKind::Choice:
        break;
    case OptionKind::Integer:
        if (const auto n = parseInt(text)) {
            v.number = static_cast<double>(*n);
            ok = *n >= spec.min && *n <= spec.max && (!(spec.flags & kPowerOfTwo) || (*n > 0 && (*n & (*n - 1)) == 0));
        }
        break;
    case OptionKind::Number:
        if (const auto x = parseNumber(text)) {
            v.number = *x;
            ok = (spec.flags & kAboveMin ? *x > spec.min : *x >= spec.min) && *x <= spec.max;
        }
        break;
    case OptionKind::Text:
        ok = !spec.check || spec.check(text);
        break;
    case OptionKind::Path:
        ok = !text.empty();
        break;
    }
    if (!ok)
        error = "--" + std::string(spec.name) + " must be " + expectedValue(spec) + ", not '" + text + "'";
    return ok;
}

std::string wrap(const std::string& text, std::size_t indent, std::size_t firstColumn, std::size_t width = 79)
{
    std::string out;
    std::size_t column = firstColumn;
    std::size_t pos = 0;
    bool lineEmpty = true;
    while (pos < text.size()) {
        if (text[pos] == '\n') {  // a line break the author wants
            out += '\n' + std::string(indent, ' ');
            column = indent;
            lineEmpty = true;
            ++pos;
            continue;
        }
        const std::size_t end = std::min(text.find_first_of(" \n", pos), text.size());
        const std::string word = text.substr(pos, end - pos);
        if (!lineEmpty && column + 1 + word.size() > width) {
            out += '\n' + std::string(indent, ' ');
            column = indent;
            lineEmpty = true;
        }
        if (!lineEmpty) {
            out += ' ';
            ++column;
        }
        out += word;
        column += word.size();
        lineEmpty = false;
        pos = end < text.size() && text[end] == ' ' ? end + 1 : end;
    }
    return out;
}

std::string fullHelp(const OptionSpec& spec)
{
    std::string help = spec.help;
    if (spec.defaultText)
        help += std::string(help.empty() ? "" : " ") + "(default " + spec.defaultText + ")";
    return help;
}

std::string valueName(const OptionSpec& spec)
{
    if (spec.kind == OptionKind::Flag && !spec.implicitValue)
        return "";
    if (*spec.valueName)
        return spec.valueName;
    return spec.choices;
}

// roff text: backslashes and a leading dot or quote made harmless; a comma
// inside a long word (a list of columns) may end a line.
std::string roff(const std::string& text)
{
    std::string out;
    bool lineStart = true;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (lineStart && (c == '.' || c == '\''))
            out += "\\&";
        if (c == '\\')
            out += "\\e";
        else if (c == '-')
            out += "\\-";
        else
            out += c;
        if (c == ',' && i + 1 < text.size() && text[i + 1] != ' ' && text[i + 1] != '\n')
            out += "\\:";
        lineStart = c == '\n';
    }
    return out;
}

std::string roffLabel(const OptionSpec& spec)
{
    std::string out;
    if (spec.shortName)
        out += "\\fB\\-" + std::string(1, spec.shortName) + "\\fR, ";
    out += "\\fB\\-\\-" + roff(spec.name) + "\\fR";
    const std::string value = valueName(spec);
    if (!value.empty())
        out += (spec.implicitValue ? "[=\\fI" : " \\fI") + roff(value) + (spec.implicitValue ? "\\fR]" : "\\fR");
    return out;
}

}  // namespace

bool OptionValue::is(const char* name) const
{
    return spec && std::strcmp(spec->name, name) == 0;
}

const OptionValue* ParsedArgs::last(const char* name) const
{
    for (auto it = options.rbegin(); it != options.rend(); ++it)
        if (it->is(name))
            return &*it;
    return nullptr;
}

std::string expectedValue(const OptionSpec& spec)
{
    const std::vector<std::string> extra = words(spec.choices);
    std::string what;
    switch (spec.kind) {
    case OptionKind::Flag:
        return "given without a value";
    case OptionKind::Choice:
        return alternatives(extra);
    case OptionKind::Integer:
        what = (spec.flags & kPowerOfTwo ? "a power of two from " : "a whole number from ") + numberText(spec.min) +
               " to " + numberText(spec.max);
        break;
    case OptionKind::Number:
        what = spec.flags & kAboveMin ? "a number above " + numberText(spec.min) + " up to " + numberText(spec.max)
                                      : "a number from " + numberText(spec.min) + " to " + numberText(spec.max);
        break;
    case OptionKind::Text:
        return spec.expects ? spec.expects : "a text";
    case OptionKind::Path:
        return spec.expects ? spec.expects : "a file or folder name";
    }
    if (!extra.empty())
        what += " or " + alternatives(extra);
    return what;
}

std::string optionLabel(const OptionSpec& spec)
{
    std::string out = spec.shortName ? std::string("-") + spec.shortName + ", " : std::string();
    out += "--" + std::string(spec.name);
    const std::string value = valueName(spec);
    if (!value.empty())
        out += spec.implicitValue ? "[=" + value + "]" : " " + value;
    return out;
}

bool parseArgs(const CommandSpec& command, const std::vector<std::string>& args, ParsedArgs& out, std::string& error)
{
    out = ParsedArgs{};
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (optionsEnded || a.size() < 2 || a[0] != '-') {
            out.operands.push_back(a);
            continue;
        }
        if (a == "--") {
            optionsEnded = true;
            continue;
        }
        const std::size_t eq = a.find('=');
        const std::string name = a.substr(0, eq);
        const OptionSpec* spec = nullptr;
        for (const OptionSpec& s : command.options)
            if ((name.size() > 2 && name[1] == '-' && name.compare(2, std::string::npos, s.name) == 0) ||
                (s.shortName && name.size() == 2 && name[1] == s.shortName))
                spec = &s;
        if (!spec) {
            error = "unknown option " + name + " (vesperon-cli " + command.name + " --help lists them)";
            return false;
        }
        OptionValue v;
        v.spec = spec;
        const bool takesValue = spec->kind != OptionKind::Flag || spec->implicitValue;
        if (!takesValue) {
            if (eq != std::string::npos) {
                error = "--" + std::string(spec->name) + " takes no value";
                return false;
            }
        } else {
            std::string text;
            if (eq != std::string::npos) {
                text = a.substr(eq + 1);
            } else if (spec->implicitValue) {
                text = spec->implicitValue;
            } else if (i + 1 < args.size()) {
                text = args[++i];
            } else {
                error = "--" + std::string(spec->name) + " needs a value: " + expectedValue(*spec);
                return false;
            }
            if (!takeValue(*spec, text, v, error))
                return false;
        }
        out.options.push_back(std::move(v));
    }
    return true;
}

int usageError(const CommandSpec& command, const std::string& message)
{
    std::fprintf(stderr, "vesperon-cli %s: %s\n", command.name, message.c_str());
    return 2;
}

bool parseOrComplain(const CommandSpec& command, const std::vector<std::string>& args, ParsedArgs& out)
{
    std::string error;
    if (parseArgs(command, args, out, error))
        return true;
    usageError(command, error);
    return false;
}

std::string helpText(const CommandSpec& command)
{
    std::string out;
    for (std::size_t i = 0; i < command.synopsis.size(); ++i)
        out += std::string(i ? "       " : "Usage: ") + "vesperon-cli " + command.name + " " + command.synopsis[i] + "\n";
    out += "\n" + std::string(command.description);
    if (!out.empty() && out.back() != '\n')
        out += '\n';
    const char* group = nullptr;
    out += "\n";
    for (const OptionSpec& s : command.options) {
        if (s.group && (!group || std::strcmp(group, s.group) != 0)) {
            out += std::string(group ? "\n" : "") + s.group + ":\n";
            group = s.group;
        }
        constexpr std::size_t kColumn = 24;
        std::string line = "  " + optionLabel(s);
        if (line.size() + 2 > kColumn)
            line += "\n" + std::string(kColumn, ' ');
        else
            line += std::string(kColumn - line.size(), ' ');
        out += line + wrap(fullHelp(s), kColumn, kColumn) + "\n";
    }
    if (command.epilogue && *command.epilogue)
        out += "\n" + std::string(command.epilogue);
    if (!out.empty() && out.back() != '\n')
        out += '\n';
    return out;
}

void printHelp(const CommandSpec& command)
{
    const std::string text = helpText(command);
    std::fwrite(text.data(), 1, text.size(), stdout);
}

std::string manPage(const std::vector<const CommandSpec*>& commands, const std::string& version)
{
    std::string out = ".TH VESPERON\\-CLI 1 \"\" \"vesperon\\-cli " + roff(version) + "\" \"User Commands\"\n";
    out += ".SH NAME\nvesperon\\-cli \\- record, measure and convert ultrasonic recordings without a display\n";
    out += ".SH SYNOPSIS\n.B vesperon\\-cli\n.I COMMAND\n[\\fIOPTIONS\\fR] [\\fIFILE\\fR|\\fIFOLDER\\fR]...\n.br\n"
           ".B vesperon\\-cli\n\\fB\\-\\-version\\fR | \\fB\\-\\-help\\fR\n";
    out += ".SH DESCRIPTION\n\\fBvesperon\\-cli\\fR is the headless side of Vesperon. Each command has a section "
           "below; \\fBvesperon\\-cli\\fR \\fICOMMAND\\fR \\fB\\-\\-help\\fR prints the same.\n.PP\n"
           "Options take their value as the next argument or after \\fB=\\fR; \\fB\\-\\-\\fR ends the options. "
           "Commands that read recordings take files and folders: a folder stands for its \\fI.wav\\fR and "
           "\\fI.vprd\\fR files in sorted order, with those of its sub\\-folders when \\fB\\-\\-recursive\\fR is "
           "given.\n.TP\n\\fB\\-V\\fR, \\fB\\-\\-version\\fR\nprint the version.\n.TP\n\\fB\\-h\\fR, "
           "\\fB\\-\\-help\\fR\nlist the commands.\n";
    for (const CommandSpec* c : commands) {
        out += ".SH \"" + roff(std::string("vesperon-cli ") + c->name) + "\"\n" + roff(c->summary) + ".\n.PP\n.nf\n";
        for (const char* line : c->synopsis)
            out += "\\fBvesperon\\-cli " + roff(c->name) + "\\fR " + roff(line) + "\n";
        out += ".fi\n";
        std::string description = c->description;
        for (std::size_t p; (p = description.find("\n\n")) != std::string::npos;)
            description.replace(p, 2, "\n.PP\n");
        out += ".PP\n" + roff(description);
        if (out.back() != '\n')
            out += '\n';
        const char* group = nullptr;
        for (const OptionSpec& s : c->options) {
            if (s.group && (!group || std::strcmp(group, s.group) != 0)) {
                out += ".SS " + roff(s.group) + "\n";
                group = s.group;
            }
            std::string help = fullHelp(s);
            for (char& ch : help)
                if (ch == '\n')
                    ch = ' ';
            out += ".TP\n" + roffLabel(s) + "\n" + roff(help) + "\n";
        }
        if (c->epilogue && *c->epilogue) {
            std::string epilogue = c->epilogue;
            for (std::size_t p; (p = epilogue.find("\n\n")) != std::string::npos;)
                epilogue.replace(p, 2, "\n.PP\n");
            out += ".PP\n" + roff(epilogue);
            if (out.back() != '\n')
                out += '\n';
        }
    }
    out += ".SH \"EXIT STATUS\"\n0 when all went well, 1 when a file could not be read or written or a folder held no "
           "recordings, 2 for wrong usage.\n";
    out += ".SH ENVIRONMENT\n\\fBXDG_CONFIG_HOME\\fR: the settings of the desktop program, whose defaults the "
           "commands take where no option says otherwise.\n";
    return out;
}

// ---- shared options ----

std::int64_t Position::resolve(const CVesSoundDoc& doc, std::int64_t unset) const
{
    if (!set)
        return unset;
    return time ? doc.realMicrosToFrames(micros) : frames;
}

std::optional<Position> parsePosition(const std::string& text, bool bareIsSeconds)
{
    Position pos;
    pos.set = true;
    if (!bareIsSeconds)
        if (const auto n = parseInt(text); n && *n >= 0) {
            pos.frames = *n;
            return pos;
        }
    static const struct {
        const char* unit;
        double micros;
    } units[] = {{"us", 1}, {"\xC2\xB5s", 1}, {"ms", 1e3}, {"s", 1e6}};  // longer units before those they end with
    double scale = bareIsSeconds ? 1e6 : 0;
    std::string number = text;
    for (const auto& u : units) {
        const std::size_t n = std::strlen(u.unit);
        if (text.size() > n && text.compare(text.size() - n, n, u.unit) == 0) {
            scale = u.micros;
            number = text.substr(0, text.size() - n);
            break;
        }
    }
    const auto v = parseNumber(number);
    if (scale == 0 || !v || *v < 0 || *v * scale > 9e15)
        return std::nullopt;
    pos.time = true;
    pos.micros = std::llround(*v * scale);
    return pos;
}

namespace {

bool isFramePosition(const std::string& text)
{
    return parsePosition(text, false).has_value();
}

bool isTimePosition(const std::string& text)
{
    return parsePosition(text, true).has_value();
}

OptionSpec positionOption(const char* name, PositionUnit bare, const char* help)
{
    OptionSpec s;
    s.name = name;
    s.kind = OptionKind::Text;
    s.valueName = bare == PositionUnit::Frames ? "POS" : "TIME";
    s.help = help;
    s.check = bare == PositionUnit::Frames ? isFramePosition : isTimePosition;
    s.expects = bare == PositionUnit::Frames ? "a frame number or a time such as 12.5ms or 1.2s"
                                             : "a time in seconds, or with the unit s, ms or us (1.5, 250ms)";
    s.sample = "10ms";
    return s;
}

bool isWindow(const std::string& text)
{
    return parseWindowName(text) >= 0;
}

}  // namespace

OptionSpec startOption(PositionUnit bare, const char* help)
{
    return positionOption("start", bare, help);
}

OptionSpec endOption(PositionUnit bare, const char* help)
{
    return positionOption("end", bare, help);
}

Position positionValue(const OptionValue& v)
{
    const bool seconds = v.spec && v.spec->check == isTimePosition;
    return parsePosition(v.text, seconds).value_or(Position{});
}

OptionSpec timeExpansionOption(const char* help)
{
    OptionSpec s;
    s.name = "time-expansion";
    s.kind = OptionKind::Number;
    s.valueName = "X";
    s.min = 0.001;
    s.max = 1000;
    s.help = help ? help : "treat the recordings as time-expanded by X (e.g. 10)";
    return s;
}

std::int32_t timeExpansionValue(const OptionValue& v)
{
    return static_cast<std::int32_t>(std::lround(v.number * 1000));
}

OptionSpec jobsOption()
{
    OptionSpec s;
    s.name = "jobs";
    s.shortName = 'j';
    s.kind = OptionKind::Integer;
    s.valueName = "N";
    s.defaultText = "1";
    s.min = 1;
    s.max = 256;
    s.help = "analyse N files at a time; the output is the same, in input order";
    return s;
}

OptionSpec channelOption(const char* choices, const char* defaultText, const char* help)
{
    OptionSpec s;
    s.name = "channel";
    s.kind = OptionKind::Choice;
    s.choices = choices;
    s.defaultText = defaultText;
    s.help = help;
    return s;
}

Channel channelValue(const OptionValue& v)
{
    if (v.text == "mix")
        return Channel::Mix;
    if (v.text == "right")
        return Channel::Right;
    if (v.text == "both")
        return Channel::Both;
    return Channel::Left;
}

OptionSpec rangeOption(const char* name, OptionKind kind, const char* valueName, double min, double max,
                       const char* defaultText, const char* help, const char* group)
{
    OptionSpec s;
    s.name = name;
    s.kind = kind;
    s.valueName = valueName;
    s.min = min;
    s.max = max;
    s.defaultText = defaultText;
    s.help = help;
    s.group = group;
    return s;
}

OptionSpec recursiveOption()
{
    OptionSpec s;
    s.name = "recursive";
    s.shortName = 'r';
    s.help = "take the recordings of the sub-folders of a folder too";
    return s;
}

OptionSpec windowOption(const char* defaultText, const char* help)
{
    OptionSpec s;
    s.name = "window";
    s.kind = OptionKind::Text;
    s.valueName = "NAME";
    s.defaultText = defaultText;
    s.help = help ? help : "rectangular, hanning, parzen, hamming or cosine, or a window code 0..8";
    s.check = isWindow;
    s.expects = "rectangular, hanning, parzen, hamming or cosine, or a code 0..8";
    s.sample = "hanning";
    return s;
}

const char* keepText(std::string text)
{
    static std::mutex mutex;
    static std::deque<std::string> texts;
    std::lock_guard<std::mutex> lock(mutex);
    texts.push_back(std::move(text));
    return texts.back().c_str();
}
