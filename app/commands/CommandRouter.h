// Where a command goes: to the active view first, then to its document, then
// to the main frame and the application; the first target that handles the
// number carries it out, and the same target answers whether the command is
// enabled and checked when a menu is shown. A number that no target handles
// is shown disabled: features that are not there yet stay visible but cannot
// be chosen.
//
// This file needs no Qt.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

struct CommandState {
    bool enabled = true;
    bool checked = false;
    std::string text;  // replaces the menu text when not empty ("&Undo Cut")
};

class ICommandTarget {
public:
    virtual ~ICommandTarget() = default;
    // Whether this target handles `id`; when it does, `state` is filled in.
    virtual bool commandState(int id, CommandState& state) = 0;
    // Carries out `id`; false when this target does not handle it.
    virtual bool runCommand(int id) = 0;
};

// A target made of handlers registered per number or range of numbers.
class CommandHandlers : public ICommandTarget {
public:
    using Run = std::function<void(int id)>;
    using Update = std::function<void(int id, CommandState& state)>;

    // `update` may be empty: the command is then always enabled.
    void on(int id, Run run, Update update = {});
    void onRange(int first, int last, Run run, Update update = {});
    // Forgets the handler of `id` (and of the range that begins there).
    void remove(int id);
    // `hook` runs before the handler of `id` whenever the command is run,
    // after the hooks registered before it. Hooks and handlers are
    // independent: a window family can stop its workers before an edit
    // whose handler another one registered.
    void beforeRun(int id, std::function<void()> hook);

    bool commandState(int id, CommandState& state) override;
    bool runCommand(int id) override;

private:
    struct Handler {
        int last;
        Run run;
        Update update;
    };
    const Handler* find(int id) const;
    std::map<int, Handler> m_handlers;  // by first number
    std::map<int, std::vector<std::function<void()>>> m_before;
};

// The state of `id` along a chain of targets (nullptr entries are skipped):
// the first target that handles it answers; when none does, disabled.
CommandState queryCommand(const std::vector<ICommandTarget*>& chain, int id);
// Runs `id` on the first target that handles it, if that target reports it
// enabled. Returns whether it ran.
bool dispatchCommand(const std::vector<ICommandTarget*>& chain, int id);
