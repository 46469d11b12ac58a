#pragma once
// Routing of command ids to the operations bound to them, with the command
// maps' rules: a command is carried out only by a map that takes it, and the
// main window's map asks to leave the demonstration first for the settings
// commands (and ignores the demonstration preset while it runs).

#include <array>
#include <functional>

#include "ui/command_table.h"

namespace ui {

enum class RouteResult {
    Done,      // the operation ran
    Unknown,   // no such command id
    NotInMap,  // the map does not take this command
    Unbound,   // no operation bound to the command's action
    Declined,  // the user chose to stay in the demonstration
    Ignored,   // the demonstration preset during the demonstration
};

class CommandRouter {
public:
    using Handler = std::function<void(const Command&)>;

    void bind(Action action, Handler handler);
    bool isBound(Action action) const;

    RouteResult dispatch(int id, CommandMap map);

    // The demonstration: whether it runs, the question that ends it (true
    // when it has ended), and what follows a command that ended it.
    std::function<bool()> demoMode;
    std::function<bool()> confirmLeavingDemonstration;
    std::function<void()> afterLeavingDemonstration;
    // Told of every command before it runs (for the status of tests and
    // diagnostics).
    std::function<void(const Command&, CommandMap)> observer;

private:
    std::array<Handler, static_cast<std::size_t>(Action::Exit) + 1> m_handlers;
};

}  // namespace ui
