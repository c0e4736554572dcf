#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "client/core/named_sound.h"

using namespace orva;

namespace {
struct RecordingWav : WavPlayer {
  QStringList played;
  void PlayAsync(const QString& path) override { played << path; }
};
}  // namespace

TEST(NamedSound, WavWinsAndOggIsTheFallback) {
  QTemporaryDir dir;
  const QString folder = dir.path() + QLatin1Char('/');
  QDir().mkpath(folder + QStringLiteral("snd"));
  QFile wav(folder + QStringLiteral("snd/Orva_Snd5.wav"));
  ASSERT_TRUE(wav.open(QIODevice::WriteOnly));
  wav.close();

  RecordingWav player;
  QStringList ogg;
  NamedSound sound(folder, &player, [&](const QString& p) { ogg << p; });
  sound.PlayNamedSound(QStringLiteral("5"));
  sound.PlayNamedSound(QStringLiteral("7"));
  EXPECT_EQ(player.played, QStringList{folder + QStringLiteral("snd/Orva_Snd5.wav")});
  // A missing Ogg file is the Ogg player's concern: it is handed over all the same.
  EXPECT_EQ(ogg, QStringList{folder + QStringLiteral("snd/Orva_Snd7.ogg")});
}
