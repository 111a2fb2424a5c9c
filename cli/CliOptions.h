// The options of vesperon-cli's commands as tables: one entry per option
// gives its names, the kind of value it takes, its range or choices and its
// help. The parser, a command's --help text and the manual page are all made
// from the same table, so what is documented is what is accepted.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class CVesSoundDoc;

enum class OptionKind {
    Flag,     // no value (unless it has an implicit one, see below)
    Integer,  // a whole number in [min, max]
    Number,   // a decimal number in [min, max]
    Text,     // any text, or one that `check` accepts
    Choice,   // one of `choices`
    Path,     // a file or folder name
};

enum OptionFlags : unsigned {
    kPowerOfTwo = 1,    // Integer: powers of two only
    kAboveMin = 2,      // Number: min itself is not allowed
};

struct OptionSpec {
    const char* name = "";          // long name without the dashes
    char shortName = 0;             // one-letter name, or 0
    OptionKind kind = OptionKind::Flag;
    const char* valueName = "";     // "N", "DB", "FILE": in the help and the messages
    const char* defaultText = nullptr;  // shown as "(default …)" when set
    double min = 0, max = 0;        // Integer, Number
    // Choice: the words, separated by '|'. Integer and Number: words taken
    // besides a number ("auto").
    const char* choices = "";
    const char* help = "";
    unsigned flags = 0;
    // Text: a check of the value and what it must look like (for the message).
    bool (*check)(const std::string& value) = nullptr;
    const char* expects = nullptr;
    // A value taken when the option is given without one ("--deemphasis");
    // such an option never takes the next argument.
    const char* implicitValue = nullptr;
    // A heading printed above this option in the help ("Trigger").
    const char* group = nullptr;
    // A valid value, for Text and Path options (the tests give it).
    const char* sample = nullptr;
};

struct CommandSpec {
    const char* name;
    const char* summary;                 // one line for the command list
    std::vector<const char*> synopsis;   // what follows "vesperon-cli NAME ", one line each
    const char* description;             // paragraphs ('\n\n' between them), wrapped for the terminal
    std::vector<OptionSpec> options;
    const char* epilogue;                // after the options (exit status and notes)
};

// One option found on a command line, with its value checked and converted.
struct OptionValue {
    const OptionSpec* spec = nullptr;
    std::string text;       // the value as given ("" for a flag)
    double number = 0;      // Integer and Number
    int word = -1;          // Choice: index into the choices; Integer/Number: index of a word taken instead
    bool is(const char* name) const;
    std::int64_t integer() const { return static_cast<std::int64_t>(number); }
};

struct ParsedArgs {
    std::vector<OptionValue> options;    // in command-line order (later ones win)
    std::vector<std::string> operands;   // files and the like, in order
    // The last value given for `name`, or null.
    const OptionValue* last(const char* name) const;
    bool has(const char* name) const { return last(name) != nullptr; }
};

// Parses `args` against the table. "--name value", "--name=value", "-x value"
// and "-x=value"; "--" ends the options. False with `error` set (without the
// command's name) on a usage error.
bool parseArgs(const CommandSpec& command, const std::vector<std::string>& args, ParsedArgs& out, std::string& error);
// Parses, and on a usage error prints "vesperon-cli NAME: error". Returns
// false then; the command exits with status 2.
bool parseOrComplain(const CommandSpec& command, const std::vector<std::string>& args, ParsedArgs& out);
// Prints "vesperon-cli NAME: message" and returns 2, the status of wrong usage.
int usageError(const CommandSpec& command, const std::string& message);

// What a value of the option must be, as the messages say it ("a whole number
// from 1 to 256").
std::string expectedValue(const OptionSpec& spec);
// The left column of the option's help line: "-r, --recursive", "--jobs N".
std::string optionLabel(const OptionSpec& spec);
// The command's --help text.
std::string helpText(const CommandSpec& command);
void printHelp(const CommandSpec& command);
// The manual page vesperon-cli(1) in roff, one section per command.
std::string manPage(const std::vector<const CommandSpec*>& commands, const std::string& version);

// ---- Options shared by several commands: one definition, one meaning ----

// A place in a recording: a frame number or a real time with a unit
// ("12.5ms", "1.2s", "80us"). A bare number is frames, or seconds where the
// command measures its positions in time (spectrogram).
struct Position {
    bool set = false;
    bool time = false;
    std::int64_t frames = 0;
    std::int64_t micros = 0;
    // Frames in `doc`; `unset` when not given.
    std::int64_t resolve(const CVesSoundDoc& doc, std::int64_t unset) const;
};
std::optional<Position> parsePosition(const std::string& text, bool bareIsSeconds);

enum class PositionUnit { Frames, Seconds };
OptionSpec startOption(PositionUnit bare, const char* help);
OptionSpec endOption(PositionUnit bare, const char* help);
Position positionValue(const OptionValue& v);

// --time-expansion X: the recordings are time-expanded by X (0.001 .. 1000);
// the value as the engine keeps it (X × 1000).
OptionSpec timeExpansionOption(const char* help = nullptr);
std::int32_t timeExpansionValue(const OptionValue& v);

// --jobs N (-j): files analysed at a time, 1 .. 256, default 1.
OptionSpec jobsOption();

// --channel: the words a command takes, from mix, left, right and both (the
// meaning of each is the same everywhere; "mix" adds the two channels,
// "both" treats them as two).
enum class Channel { Mix, Left, Right, Both };
OptionSpec channelOption(const char* choices, const char* defaultText, const char* help);
Channel channelValue(const OptionValue& v);

// --recursive (-r): folders given as inputs are searched with their sub-folders.
OptionSpec recursiveOption();

// An option with a value of `kind` (Integer or Number) from `min` to `max`,
// shown as `valueName`; `defaultText` and `group` may be null.
OptionSpec rangeOption(const char* name, OptionKind kind, const char* valueName, double min, double max,
                       const char* defaultText, const char* help, const char* group = nullptr);

// --window NAME: a window name or code.
OptionSpec windowOption(const char* defaultText, const char* help);

// Text that lives as long as the program, for tables built at run time
// (defaults taken from the engine's settings).
const char* keepText(std::string text);
