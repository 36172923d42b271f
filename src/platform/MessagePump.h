#pragma once

namespace snipwave {

// "Let the window process its pending messages": long operations on the GUI
// thread call this at fixed points so the window repaints and commands
// (stop above all) get through.
class IMessagePump {
 public:
  virtual ~IMessagePump() = default;
  virtual void ProcessPendingMessages() = 0;
};

class QtMessagePump final : public IMessagePump {
 public:
  void ProcessPendingMessages() override;
};

}  // namespace snipwave
