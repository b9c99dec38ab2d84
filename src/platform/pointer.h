// The mouse pointer.
#pragma once
class QPoint;
namespace jex::platform {
// Moves the pointer to pos (global pixels of the virtual screen).
void setPointerPos(const QPoint& pos);
}  // namespace jex::platform
