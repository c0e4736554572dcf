#include "region_counts.h"

#include <QStringList>

#include <vector>

#include "client/network/server_link.h"

namespace orva {

RegionCounts::RegionCounts(NodeContext& ctx) : ctx_(ctx) {}

void RegionCounts::ApplyRegionCounts(const QString& list) {
  struct Pair {
    int code;
    qint32 count;
    QString countText;
  };
  // Read the whole list first: a bad pair must not leave half a list
  // applied under the previous total.
  std::vector<Pair> pairs;
  if (!list.isEmpty()) {
    for (const QString& pairText : list.split(QLatin1Char(';'))) {
      const qsizetype comma = pairText.indexOf(QLatin1Char(','));
      const QString codeText = comma < 0 ? pairText : pairText.left(comma);
      const QString countText = comma < 0 ? QString() : pairText.mid(comma + 1);
      bool codeOk = false;
      bool countOk = false;
      const int code = codeText.trimmed().toInt(&codeOk);
      const qint32 count = countText.trimmed().toInt(&countOk);
      if (!codeOk || !countOk) throw NetError(kErrTypeMismatch, QStringLiteral("Type mismatch"));
      if (code < 1 || code > 999) throw NetError(9, QStringLiteral("Subscript out of range"));
      pairs.push_back({code, count, countText});
    }
  }

  regions_.fill(0);
  tens_.fill(0);
  hundreds_.fill(0);
  qint32 total = 0;
  for (const Pair& p : pairs) {
    regions_[p.code] = p.count;
    tens_[p.code / 10] += p.count;
    hundreds_[p.code / 100] += p.count;
    total += p.count;
    const QString name = regionName_ ? regionName_(p.code) : QString();
    ctx_.WriteLog(name + QStringLiteral("では%1ピア").arg(p.count), 0);
    if ((p.code == 950 || p.code == 951) && p.countText == QStringLiteral("0") && toPlugins_) {
      toPlugins_(QStringLiteral("EEW%1 %2").arg(ctx_.settings.UseEEW).arg(p.code == 950 ? 0 : 1), false);
    }
  }
  totalPeers_ = total;
  ctx_.status.Set(StatusField::TotalPeers, QStringLiteral("%1ピア").arg(total));
  ctx_.WriteLog(QStringLiteral("ピア分布図をセットしました"), 1);
}

}  // namespace orva
