#include "client/quake/tsunami_record.h"

#include "client/core/node_context.h"
#include "client/quake/quake_text.h"

namespace orva::quake {

void TsunamiRecord::AcceptTsunamiData(const QString& data) {
  if (notifyPlugins) notifyPlugins(QStringLiteral("TIDL ") + data);
  if (ctx_.settings.Tidal_View == 1) Show(data);
}

void TsunamiRecord::Show(const QString& data) {
  const Settings& s = ctx_.settings;
  const bool cancelled = data == kTsunamiCancelled;
  if (s.Tidal_Sound == 1 && (!cancelled || s.Tidal_CancelSound == 1)) ctx_.PlayNamedSound(QStringLiteral("t"));
  TsunamiPlan plan;
  plan.data = data;
  plan.timeText = QStringLiteral("津波予報（") + ctx_.ProtocolNow().toString(QStringLiteral("HH:mm:ss")) +
                  QStringLiteral("受信）");
  plan.bulletinText = TsunamiBulletinText(data);
  plan.instructionText = TsunamiInstructionText(data);
  plan.inForce = !cancelled;
  plan.noFocus = s.Tidal_NoFocus == 1;
  plan.topMost = s.Tidal_TopMost == 1;
  last_ = plan;
  if (screen) screen->ShowTsunami(plan);
}

}  // namespace orva::quake
