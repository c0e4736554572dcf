#pragma once
// Sounds by short name: snd/Orva_Snd<name>.wav in the program folder when it
// exists, played asynchronously; otherwise snd/Orva_Snd<name>.ogg handed to
// the Ogg playback.
#include <QString>

#include <functional>
#include <memory>

namespace orva {

// Asynchronous WAV playback; a new sound replaces the one playing.
class WavPlayer {
 public:
  virtual ~WavPlayer() = default;
  virtual void PlayAsync(const QString& path) = 0;
};

// WAV playback on SDL2_mixer's chunk channels (the audio device is shared
// with the Ogg player library, which plays on the music channel).
std::unique_ptr<WavPlayer> MakeSdlWavPlayer();

class NamedSound {
 public:
  NamedSound(QString programFolder, WavPlayer* wav, std::function<void(const QString&)> playOgg)
      : folder_(std::move(programFolder)), wav_(wav), playOgg_(std::move(playOgg)) {}

  QString SoundFolder() const { return folder_ + QStringLiteral("snd/"); }
  void PlayNamedSound(const QString& name);

 private:
  QString folder_;
  WavPlayer* wav_;
  std::function<void(const QString&)> playOgg_;
};

}  // namespace orva
