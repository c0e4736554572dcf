#include "named_sound.h"

#include <QFileInfo>

#include <SDL.h>
#include <SDL_mixer.h>

namespace orva {

void NamedSound::PlayNamedSound(const QString& name) {
  const QString base = SoundFolder() + QStringLiteral("Orva_Snd") + name;
  const QString wav = base + QStringLiteral(".wav");
  if (QFileInfo(wav).isFile()) {
    if (wav_) wav_->PlayAsync(wav);
    return;
  }
  if (playOgg_) playOgg_(base + QStringLiteral(".ogg"));
}

namespace {

class SdlWavPlayer : public WavPlayer {
 public:
  ~SdlWavPlayer() override {
    if (chunk_) {
      Mix_HaltChannel(kChannel);
      Mix_FreeChunk(chunk_);
    }
    if (open_) Mix_CloseAudio();
  }

  void PlayAsync(const QString& path) override {
    if (!Open()) return;
    Mix_HaltChannel(kChannel);
    if (chunk_) Mix_FreeChunk(chunk_);
    chunk_ = Mix_LoadWAV(QFileInfo(path).absoluteFilePath().toUtf8().constData());
    // A file that cannot be read plays nothing, as with the desktop's player.
    if (chunk_) Mix_PlayChannel(kChannel, chunk_, 0);
  }

 private:
  static constexpr int kChannel = 0;
  bool Open() {
    if (open_) return true;
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
    open_ = Mix_OpenAudio(44100, MIX_DEFAULT_FORMAT, 2, 2048) == 0;
    return open_;
  }
  bool open_ = false;
  Mix_Chunk* chunk_ = nullptr;
};

}  // namespace

std::unique_ptr<WavPlayer> MakeSdlWavPlayer() { return std::make_unique<SdlWavPlayer>(); }

}  // namespace orva
