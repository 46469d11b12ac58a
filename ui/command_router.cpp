#include "ui/command_router.h"

namespace ui {

void CommandRouter::bind(Action action, Handler handler) {
    m_handlers.at(static_cast<std::size_t>(action)) = std::move(handler);
}

bool CommandRouter::isBound(Action action) const {
    return static_cast<bool>(m_handlers.at(static_cast<std::size_t>(action)));
}

RouteResult CommandRouter::dispatch(int id, CommandMap map) {
    const Command* command = findCommand(id);
    if (command == nullptr)
        return RouteResult::Unknown;
    if ((command->maps & static_cast<CommandMaps>(map)) == 0)
        return RouteResult::NotInMap;
    const Handler& handler = m_handlers.at(static_cast<std::size_t>(command->action));
    if (!handler)
        return RouteResult::Unbound;
    bool leftDemonstration = false;
    if (map == CommandMap::MainWindow && demoMode && demoMode()) {
        if (command->id == cmd::kPresetDemoDefault)
            return RouteResult::Ignored;
        if (command->asksInDemo) {
            if (!confirmLeavingDemonstration || !confirmLeavingDemonstration())
                return RouteResult::Declined;
            leftDemonstration = true;
        }
    }
    if (observer)
        observer(*command, map);
    handler(*command);
    // The hatch dialog opens as it is; every other command that ended the
    // demonstration is followed by new thumbnails.
    if (leftDemonstration && command->action != Action::HatchDialog && afterLeavingDemonstration)
        afterLeavingDemonstration();
    return RouteResult::Done;
}

}  // namespace ui
