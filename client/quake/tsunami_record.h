#pragma once
// The tsunami record: what the client does with a tsunami bulletin that the
// relay accepted and forwarded — the plugin notice, the sound and the
// tsunami window.
#include <QString>

#include <functional>

#include "client/quake/bulletin_screens.h"

namespace orva {
struct NodeContext;
}

namespace orva::quake {

class TsunamiRecord {
 public:
  explicit TsunamiRecord(NodeContext& ctx) : ctx_(ctx) {}

  TsunamiScreen* screen = nullptr;
  // Receives "TIDL " + data (without line end).
  std::function<void(const QString& line)> notifyPlugins;

  // An accepted 552 item, already forwarded: `data` is its third field.
  void AcceptTsunamiData(const QString& data);
  // Shows a bulletin: sound, then the window.
  void Show(const QString& data);

  // The plan the window was last given (for tests and logs).
  const TsunamiPlan& LastPlan() const { return last_; }

 private:
  NodeContext& ctx_;
  TsunamiPlan last_;
};

}  // namespace orva::quake
