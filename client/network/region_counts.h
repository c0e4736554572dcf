#pragma once
// Peer counts per region, as the server reports them at join (247) and in
// the signed relayed items of code 561: per region code 1-999, per
// ten-block (code / 10) and per hundred-block (code / 100), and their total.
//
// A list is "code,count;code,count;...". Codes 950 and 951 with the count
// text "0" are control entries of the early-warning test: they send
// "EEW<UseEEW> 0" and "EEW<UseEEW> 1" to the plugins.
#include <QString>

#include <array>
#include <functional>

#include "client/core/node_context.h"

namespace orva {

class RegionCounts {
 public:
  static constexpr int kCodes = 1000;  // index = region code; 0 unused

  explicit RegionCounts(NodeContext& ctx);

  // The region's name for the level-0 lines; unset or unknown: empty.
  void SetRegionNameSource(std::function<QString(int code)> source) { regionName_ = std::move(source); }
  // SendToPlugins(text, devOnly) of the plugin port.
  void SetPluginSink(std::function<void(const QString& text, bool devOnly)> sink) {
    toPlugins_ = std::move(sink);
  }

  // ApplyRegionCounts. Every region missing from the list counts 0. A list
  // with a pair that is not two numbers, or a code outside 1-999, changes
  // nothing at all (counts, block sums and total stay as they were, no EEW
  // line goes out) and throws NetError for the caller to log.
  void ApplyRegionCounts(const QString& list);

  qint32 RegionPeers(int code) const { return InRange(code) ? regions_[code] : 0; }
  qint32 TenBlockPeers(int code) const { return InRange(code) ? tens_[code / 10] : 0; }
  qint32 HundredBlockPeers(int code) const { return InRange(code) ? hundreds_[code / 100] : 0; }
  qint32 TotalPeers() const { return totalPeers_; }

 private:
  static bool InRange(int code) { return code >= 0 && code < kCodes; }

  NodeContext& ctx_;
  std::array<qint32, kCodes> regions_{};
  std::array<qint32, kCodes / 10> tens_{};
  std::array<qint32, kCodes / 100> hundreds_{};
  qint32 totalPeers_ = 0;
  std::function<QString(int)> regionName_;
  std::function<void(const QString&, bool)> toPlugins_;
};

}  // namespace orva
