#pragma once
// The quake record: what the client does with a quake bulletin that the
// relay accepted and forwarded — the plugin notice, the presentation test,
// the last quake for the re-display command, window or ticker, and sound.
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

#include "client/quake/bulletin_screens.h"
#include "client/quake/quake_text.h"

namespace orva {
struct NodeContext;
}

namespace orva::quake {

class QuakeRecord {
 public:
  explicit QuakeRecord(NodeContext& ctx) : ctx_(ctx) {}

  // Where bulletins are shown; unset on a node without screens.
  QuakeScreen* screen = nullptr;
  // Receives "QUAK " + header + ":" + point list (without line end).
  std::function<void(const QString& line)> notifyPlugins;
  // Place names for the ticker's detail list; unset: the plain cut.
  KnownPlace knownPlace;

  // An accepted 551 item, already forwarded: `header` is its third field,
  // `pointList` its fourth. A malformed header is logged and ends the
  // handling after the plugin notice; it never throws.
  void AcceptQuake(const QString& header, const QString& pointList);
  // The re-display command: the last quake shown again, by the current
  // Quake_Map, without sound and without the presentation test.
  void Redisplay();

  bool HasLastQuake() const { return last_.has_value(); }
  QString LastHeader() const { return last_ ? last_->header.join(u',') : QString(); }
  QString LastPointList() const { return last_ ? last_->pointList : QString(); }

 private:
  struct Quake {
    QStringList header;
    QString pointList;
  };
  void Present(const Quake& quake);
  void PlaySound(const QStringList& header);
  void LogError(int number, const QString& description);

  NodeContext& ctx_;
  std::optional<Quake> last_;
  std::optional<QString> lastSoundTime_;  // H0 of the last quake that sounded
};

}  // namespace orva::quake
