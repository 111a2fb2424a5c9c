#include "commands/CommandRouter.h"

void CommandHandlers::on(int id, Run run, Update update)
{
    onRange(id, id, std::move(run), std::move(update));
}

void CommandHandlers::onRange(int first, int last, Run run, Update update)
{
    m_handlers[first] = Handler{last, std::move(run), std::move(update)};
}

void CommandHandlers::remove(int id)
{
    m_handlers.erase(id);
}

void CommandHandlers::beforeRun(int id, std::function<void()> hook)
{
    m_before[id].push_back(std::move(hook));
}

const CommandHandlers::Handler* CommandHandlers::find(int id) const
{
    auto it = m_handlers.upper_bound(id);
    if (it == m_handlers.begin())
        return nullptr;
    --it;
    return id <= it->second.last ? &it->second : nullptr;
}

bool CommandHandlers::commandState(int id, CommandState& state)
{
    const Handler* h = find(id);
    if (!h)
        return false;
    state = CommandState{};
    if (h->update)
        h->update(id, state);
    return true;
}

bool CommandHandlers::runCommand(int id)
{
    const Handler* h = find(id);
    if (!h)
        return false;
    // The handler may remove itself (a view closing its own frame): keep a copy.
    const Run run = h->run;
    if (const auto b = m_before.find(id); b != m_before.end()) {
        const auto hooks = b->second;
        for (const auto& hook : hooks)
            if (hook)
                hook();
    }
    if (run)
        run(id);
    return true;
}

CommandState queryCommand(const std::vector<ICommandTarget*>& chain, int id)
{
    for (ICommandTarget* t : chain) {
        CommandState s;
        if (t && t->commandState(id, s))
            return s;
    }
    CommandState none;
    none.enabled = false;
    return none;
}

bool dispatchCommand(const std::vector<ICommandTarget*>& chain, int id)
{
    for (ICommandTarget* t : chain) {
        CommandState s;
        if (t && t->commandState(id, s))
            return s.enabled && t->runCommand(id);
    }
    return false;
}
