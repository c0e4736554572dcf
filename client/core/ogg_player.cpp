#include "client/core/ogg_player.h"

#include "platform/cp932.h"

namespace orva {

OggPlayer::OggPlayer(const QString& programFolder)
    : path_(programFolder + QLatin1String(kLibraryFile)) {}

bool OggPlayer::Probe() {
  if (probed_) return available_;
  probed_ = true;
  // The library keeps an audio thread of its own; it stays loaded for the
  // rest of the process (QLibrary does not unload on destruction).
  library_ = std::make_unique<QLibrary>(path_);
  if (!library_->load()) return false;
  play_ = reinterpret_cast<OggPlayFn>(library_->resolve("OggPlay"));
  setVolume_ = reinterpret_cast<OggSetVolumeFn>(library_->resolve("OggSetVolume"));
  playbackPos_ = reinterpret_cast<OggGetPlaybackPosFn>(library_->resolve("OggGetPlaybackPos"));
  end_ = reinterpret_cast<OggEndFn>(library_->resolve("OggEnd"));
  if (!play_ || !setVolume_ || !playbackPos_ || !end_) {
    play_ = nullptr;
    setVolume_ = nullptr;
    playbackPos_ = nullptr;
    end_ = nullptr;
    return false;
  }
  playbackPos_();
  available_ = true;
  return true;
}

void OggPlayer::Play(const QString& path) {
  if (!available_) return;
  play_(cp932::fromUnicode(path).constData());
}

void OggPlayer::SetVolume(int volume) {
  if (!available_) return;
  setVolume_(volume);
}

qint64 OggPlayer::PlaybackPos() {
  if (!available_) return -1;
  return playbackPos_();
}

void OggPlayer::End() {
  if (!available_) return;
  end_();
}

}  // namespace orva
