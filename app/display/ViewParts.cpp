#include "display/ViewParts.h"

#include <utility>
#include <vector>

namespace {

struct Registered {
    std::string name;
    ViewPartFactory factory;
};

// Written at start-up before the first view, read on the user-interface thread.
std::vector<Registered>& parts()
{
    static std::vector<Registered> list;
    return list;
}

}  // namespace

void registerViewPart(const std::string& name, ViewPartFactory factory)
{
    for (Registered& r : parts())
        if (r.name == name) {
            r.factory = std::move(factory);
            return;
        }
    parts().push_back({name, std::move(factory)});
}

void attachViewParts(CVesAnaView& view, CommandHandlers& commands)
{
    for (const Registered& r : parts())
        if (r.factory)
            r.factory(view, commands);
}
