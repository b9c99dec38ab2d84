#include "platform/pointer.h"

#include <QCursor>
#include <QPoint>

namespace jex::platform {
void setPointerPos(const QPoint& pos) { QCursor::setPos(pos); }
}  // namespace jex::platform
