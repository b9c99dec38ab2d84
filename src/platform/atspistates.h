// States that this program's accessible objects tell over AT-SPI beyond what the toolkit's
// bridge passes on. The bridge of the toolkit in use sends a fixed choice of an object's states
// and leaves "checkable" out, so that a reader cannot tell a toggle that is off from a plain
// command. A hook installed here answers the bridge's state question (GetState) for the objects
// it knows, with the whole state it gives, "checkable" included; every other question and
// object goes to the bridge as before.
//
// The bridge registers its objects once the accessibility bus is found, which may be after the
// hook is installed: the hook goes in as soon as the bridge's objects are there.
//
//   platform::atspi::answerStates([](QAccessibleInterface* i) -> std::optional<QAccessible::State> {
//     return isMine(i) ? std::optional(i->state()) : std::nullopt;
//   });
#pragma once

#include <QAccessible>
#include <functional>
#include <optional>

namespace jex::platform::atspi {

using StateHook = std::function<std::optional<QAccessible::State>(QAccessibleInterface*)>;

// Installs the hook (a later one replaces it); the first call puts it between the bus and the
// bridge. Without the toolkit's AT-SPI bridge it does nothing.
void answerStates(StateHook hook);

// The AT-SPI state bits (the two 32-bit words of a state set) of a state.
quint64 stateBits(const QAccessible::State& state);

// True once the hook stands between the bus and the bridge.
bool answering();

}  // namespace jex::platform::atspi
