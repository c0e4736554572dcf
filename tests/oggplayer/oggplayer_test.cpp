// The Ogg player library and its binding, played through SDL's dummy audio
// driver with a real 0.6 s Ogg Vorbis tone (tone.ogg, made by oggenc).
#include <SDL.h>
#include <SDL_mixer.h>
#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "client/core/ogg_player.h"

namespace orva {
namespace {

using namespace std::chrono_literals;

const QString kProgramFolder = QStringLiteral(ORVA_PROGRAM_DIR "/");

void Sleep(std::chrono::milliseconds ms) { std::this_thread::sleep_for(ms); }

class OggPlayerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // ctest sets it for every test; a direct run of the binary needs it too.
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    ASSERT_TRUE(dir_.isValid());
    ASSERT_TRUE(player_.Probe()) << player_.LibraryPath().toStdString();
  }
  void TearDown() override { player_.End(); }

  // Copies the tone under a name with Japanese characters, so that the
  // code page 932 path has to be converted to reach the file.
  QString ToneCopy(const QString& name = QStringLiteral("地震音_テスト.ogg")) {
    QString path = dir_.filePath(name);
    EXPECT_TRUE(QFile::copy(QStringLiteral(ORVA_OGG_FIXTURE), path));
    return path;
  }

  // Reads the position every 300 ms until two readings agree; returns the
  // last reading, or -2 when it still moved after `limit`.
  qint64 WaitUntilStill(std::chrono::milliseconds limit = 3000ms) {
    qint64 last = player_.PlaybackPos();
    for (auto waited = 0ms; waited < limit; waited += 300ms) {
      Sleep(300ms);
      qint64 now = player_.PlaybackPos();
      if (now == last) return now;
      last = now;
    }
    return -2;
  }

  QTemporaryDir dir_;
  OggPlayer player_{kProgramFolder};
};

TEST_F(OggPlayerTest, PositionAdvancesWhilePlayingAndStandsAfterTheEnd) {
  qint64 start = player_.PlaybackPos();
  player_.Play(ToneCopy());
  Sleep(250ms);
  qint64 during = player_.PlaybackPos();
  EXPECT_GT(during, start);

  qint64 end = WaitUntilStill();
  ASSERT_NE(end, -2) << "position never stood still";
  // The position stands at the tone's full length, not at the last
  // reading taken while it played.
  EXPECT_GE(end - start, 590);
  EXPECT_LE(end - start, 700);
  Sleep(300ms);
  EXPECT_EQ(player_.PlaybackPos(), end);
}

TEST_F(OggPlayerTest, PlayWhilePlayingReplacesTheSound) {
  QString tone = ToneCopy();
  qint64 start = player_.PlaybackPos();
  player_.Play(tone);
  Sleep(200ms);
  player_.Play(tone);
  Sleep(200ms);
  qint64 during = player_.PlaybackPos();
  EXPECT_GT(during, start);
  qint64 end = WaitUntilStill();
  ASSERT_NE(end, -2);
  // The first sound was cut short (at 200 ms or later) and the second
  // played in full; the position never went back when the second began.
  EXPECT_GE(end, during);
  EXPECT_GE(end - start, 790);
  EXPECT_LE(end - start, 1250);
}

TEST_F(OggPlayerTest, MissingOrUnreadableFilePlaysNothing) {
  QFile junk(dir_.filePath(QStringLiteral("junk.ogg")));
  ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
  junk.write("this is not an Ogg stream\r\n");
  junk.close();
  const QString cases[] = {
      dir_.filePath(QStringLiteral("missing.ogg")),
      junk.fileName(),
      dir_.path(),  // a folder
      QString(),
  };
  for (const QString& path : cases) {
    SCOPED_TRACE(path.toStdString());
    qint64 before = player_.PlaybackPos();
    player_.Play(path);
    Sleep(150ms);
    EXPECT_EQ(player_.PlaybackPos(), before);
  }
  // The library still plays after the failures.
  qint64 before = player_.PlaybackPos();
  player_.Play(ToneCopy());
  Sleep(250ms);
  EXPECT_GT(player_.PlaybackPos(), before);
}

TEST_F(OggPlayerTest, VolumeAppliesToThePlayingSoundAndIsClamped) {
  player_.SetVolume(16383);
  player_.Play(ToneCopy());
  // The library shares the process's SDL_mixer; -1 only reads the volume.
  EXPECT_EQ(Mix_VolumeMusic(-1), 16383 * MIX_MAX_VOLUME / 32767);
  const struct {
    int set;
    int mixer;
  } cases[] = {{32767, MIX_MAX_VOLUME}, {0, 0}, {40000, MIX_MAX_VOLUME}, {-5, 0}, {8192, 32}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.set);
    player_.SetVolume(c.set);
    EXPECT_EQ(Mix_VolumeMusic(-1), c.mixer);
  }
}

TEST_F(OggPlayerTest, EndStopsPlaybackAndTheNextPlayReopensTheDevice) {
  QString tone = ToneCopy();
  player_.Play(tone);
  Sleep(150ms);
  player_.End();
  qint64 stopped = player_.PlaybackPos();
  Sleep(200ms);
  EXPECT_EQ(player_.PlaybackPos(), stopped);
  player_.End();  // a second End is harmless
  player_.Play(tone);
  Sleep(250ms);
  EXPECT_GT(player_.PlaybackPos(), stopped);
}

TEST_F(OggPlayerTest, EndLeavesTheDeviceToTheHostProgramsOwnSounds) {
  // The host plays its WAV sounds through the same mixer and device.
  ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_AUDIO), 0);
  ASSERT_EQ(Mix_OpenAudio(44100, MIX_DEFAULT_FORMAT, 2, 2048), 0);
  player_.Play(ToneCopy());
  Sleep(100ms);
  player_.End();
  int frequency = 0;
  Uint16 format = 0;
  int channels = 0;
  EXPECT_EQ(Mix_QuerySpec(&frequency, &format, &channels), 1);
  Mix_CloseAudio();
  EXPECT_EQ(Mix_QuerySpec(&frequency, &format, &channels), 0);
  SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

TEST(OggPlayerBinding, FolderWithoutLibraryTurnsOggOff) {
  QTemporaryDir empty;
  ASSERT_TRUE(empty.isValid());
  OggPlayer player(empty.path() + QStringLiteral("/"));
  EXPECT_FALSE(player.Available());
  EXPECT_FALSE(player.Probe());
  EXPECT_FALSE(player.Available());
  // Every call is a no-op now.
  player.SetVolume(100);
  player.Play(QStringLiteral(ORVA_OGG_FIXTURE));
  EXPECT_EQ(player.PlaybackPos(), -1);
  player.End();
}

TEST(OggPlayerBinding, LibraryMissingAnOperationTurnsOggOff) {
  OggPlayer player(QStringLiteral(ORVA_PARTIAL_LIBRARY_DIR));
  EXPECT_FALSE(player.Probe());
  EXPECT_FALSE(player.Available());
  EXPECT_EQ(player.PlaybackPos(), -1);
}

}  // namespace
}  // namespace orva
