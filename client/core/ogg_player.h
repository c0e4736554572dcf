#pragma once
// Binding to the Ogg player library (liborva_oggplayer.so in the program
// folder). The library is loaded and its operations resolved at Probe(); if
// the library or one of its operations cannot be found, Ogg playback is off
// for the life of this object and no further call reaches the library.
#include <QLibrary>
#include <QString>

#include <memory>

#include "platform/oggplayer/oggplayer.h"

namespace orva {

class OggPlayer {
 public:
  // File name of the library inside the program folder.
  static constexpr const char* kLibraryFile = "liborva_oggplayer.so";

  // `programFolder` ends in "/".
  explicit OggPlayer(const QString& programFolder);
  OggPlayer(const OggPlayer&) = delete;
  OggPlayer& operator=(const OggPlayer&) = delete;

  // Loads the library and asks it once for its playback position. Returns
  // and remembers whether Ogg playback is available. Only the first call
  // looks for the library; later calls return the same answer.
  bool Probe();
  bool Available() const { return available_; }

  // Each of these does nothing while the library is unavailable.
  // `path` is handed to the library in code page 932.
  void Play(const QString& path);
  // 0..32767.
  void SetVolume(int volume);
  // -1 while the library is unavailable.
  qint64 PlaybackPos();
  void End();

  // Full path of the library file this object loads.
  QString LibraryPath() const { return path_; }

 private:
  QString path_;
  // Made on the first probe only. A QLibrary that exists at exit makes Qt
  // log through its plugin category while the process ends; a program that
  // never logged before would start the logging registry then, after the
  // objects it needs are gone, and crash on its way out.
  std::unique_ptr<QLibrary> library_;
  bool probed_ = false;
  bool available_ = false;
  OggPlayFn play_ = nullptr;
  OggSetVolumeFn setVolume_ = nullptr;
  OggGetPlaybackPosFn playbackPos_ = nullptr;
  OggEndFn end_ = nullptr;
};

}  // namespace orva
