// The filter for commands from the core (the notifier's HandleCmd, S by reference): takes a
// command into JexUI's queue and empties S (consumed), queues it and leaves S for the core as
// well, acts at once, or leaves S alone.
#pragma once

#include <QString>
#include <QStringList>

class QWidget;

namespace jex {

class CommandQueue;

namespace commands {
// Taken over and consumed.
const QStringList& groupA();
// The voices dialog's commands, taken over and consumed.
const QStringList& groupB();
// Queued and left for the core too (SETSP..., USESPSET1 to USESPSET9).
bool isGroupC(const QString& command);
}  // namespace commands

// mainWindow is localised again on "UI_LNGCHANGE".
void FilterCommand(QString& s, CommandQueue& queue, QWidget* mainWindow);

}  // namespace jex
