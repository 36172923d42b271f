#include "MessagePump.h"

#include <QCoreApplication>

namespace snipwave {

void QtMessagePump::ProcessPendingMessages() { QCoreApplication::processEvents(); }

}  // namespace snipwave
