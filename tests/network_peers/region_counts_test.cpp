#include <gtest/gtest.h>

#include "client/network/region_counts.h"
#include "client/network/server_link.h"

namespace orva {
namespace {

TEST(RegionCounts, SumsBlocksAndTotal) {
  NodeContext ctx;
  RegionCounts counts(ctx);
  counts.ApplyRegionCounts(QStringLiteral("250,12;101,3;105,2"));
  EXPECT_EQ(counts.TenBlockPeers(100), 5);
  EXPECT_EQ(counts.HundredBlockPeers(199), 5);
  EXPECT_EQ(counts.TotalPeers(), 17);
  EXPECT_EQ(ctx.status.Value(StatusField::TotalPeers), QStringLiteral("17ピア"));
  counts.ApplyRegionCounts(QStringLiteral("101,3;105,2"));
  EXPECT_EQ(counts.RegionPeers(250), 0);  // omitted: 0
  EXPECT_EQ(counts.TotalPeers(), 5);
}

TEST(RegionCounts, ControlEntriesSendEew) {
  NodeContext ctx;
  ctx.settings.UseEEW = 1;
  RegionCounts counts(ctx);
  QStringList sent;
  counts.SetPluginSink([&](const QString& t, bool) { sent << t; });
  counts.ApplyRegionCounts(QStringLiteral("951,0;950,0;950,00;951,1"));
  EXPECT_EQ(sent, (QStringList{QStringLiteral("EEW1 1"), QStringLiteral("EEW1 0")}));
}

TEST(RegionCounts, ABadPairChangesNothing) {
  NodeContext ctx;
  RegionCounts counts(ctx);
  counts.ApplyRegionCounts(QStringLiteral("101,3;105,2"));
  for (const char* bad : {"101,1;1000,2", "101,1;x,2", "101,1;0,2", "101,1;102"}) {
    EXPECT_THROW(counts.ApplyRegionCounts(QString::fromLatin1(bad)), NetError) << bad;
    EXPECT_EQ(counts.TotalPeers(), 5) << bad;
    EXPECT_EQ(counts.RegionPeers(101), 3) << bad;
  }
}

}  // namespace
}  // namespace orva
