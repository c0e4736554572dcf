// Ogg player library built on SDL2_mixer. It holds the one audio device of
// the process and the one sound that plays on it, as any sound library does;
// every entry point takes the same lock, so calls from several threads are
// serialised.
#include "oggplayer.h"

#include <SDL.h>
#include <SDL_mixer.h>
#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <mutex>
#include <string>
#include <vector>

namespace {

// Code page 932 bytes -> the file system's encoding (UTF-8). Bytes that are
// not valid code page 932 are passed on unchanged, so a path that already is
// in the file system's encoding still works.
std::string fileSystemPath(const char* cp932Path) {
  std::string in(cp932Path);
  iconv_t cd = iconv_open("UTF-8", "CP932");
  if (cd == reinterpret_cast<iconv_t>(-1)) return in;
  std::vector<char> out(in.size() * 3 + 4);
  char* inPtr = in.data();
  size_t inLeft = in.size();
  char* outPtr = out.data();
  size_t outLeft = out.size();
  size_t r = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
  iconv_close(cd);
  if (r == static_cast<size_t>(-1)) return in;
  return std::string(out.data(), out.size() - outLeft);
}

struct Player {
  std::mutex lock;
  bool deviceOpen = false;
  Mix_Music* music = nullptr;
  int volume = 32767;
  // Milliseconds played by the sounds before the current one.
  long long base = 0;
  // Milliseconds of the current sound at the last reading.
  long long current = 0;
  // Used only when the decoder cannot tell its position.
  Uint64 startTicks = 0;

  void applyVolume() {
    if (deviceOpen) Mix_VolumeMusic(static_cast<int>(static_cast<long long>(volume) * MIX_MAX_VOLUME / 32767));
  }

  bool openDevice() {
    if (deviceOpen) return true;
    // The host program handles its own signals; SDL must not take them over.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
    Mix_Init(MIX_INIT_OGG);
    // The host program may play its own sounds through the same mixer; the
    // mixer shares one open device between users that ask for the same
    // format (and closes it when the format differs), so this is the format
    // the host uses too. Opening and closing are counted by the mixer.
    if (Mix_OpenAudio(44100, MIX_DEFAULT_FORMAT, 2, 2048) != 0) {
      SDL_QuitSubSystem(SDL_INIT_AUDIO);
      return false;
    }
    deviceOpen = true;
    applyVolume();
    return true;
  }

  // Brings `current` up to date. The decoder keeps its position once the
  // sound has ended, so the final reading is the sound's full length and
  // stays; without a decoder position the clock counts while it plays.
  void update() {
    if (!music) return;
    double seconds = Mix_GetMusicPosition(music);
    long long ms;
    if (seconds >= 0) {
      ms = static_cast<long long>(seconds * 1000.0);
    } else if (Mix_PlayingMusic()) {
      ms = static_cast<long long>(SDL_GetTicks64() - startTicks);
    } else {
      return;
    }
    current = std::max(current, ms);
  }

  void stopMusic() {
    if (!music) return;
    update();
    Mix_HaltMusic();
    Mix_FreeMusic(music);
    music = nullptr;
    base += current;
    current = 0;
  }

  void closeDevice() {
    stopMusic();
    if (!deviceOpen) return;
    // Decoders stay loaded (Mix_Quit would take them from the host too).
    Mix_CloseAudio();
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    deviceOpen = false;
  }
};

Player& player() {
  static Player p;
  return p;
}

}  // namespace

extern "C" {

int OggPlay(const char* path) {
  Player& p = player();
  std::lock_guard guard(p.lock);
  p.stopMusic();
  if (!path || !*path) return 0;
  if (!p.openDevice()) return 0;
  Mix_Music* music = Mix_LoadMUS(fileSystemPath(path).c_str());
  if (!music) return 0;
  if (Mix_PlayMusic(music, 0) != 0) {
    Mix_FreeMusic(music);
    return 0;
  }
  p.music = music;
  p.current = 0;
  p.startTicks = SDL_GetTicks64();
  p.applyVolume();
  return 1;
}

void OggSetVolume(int volume) {
  Player& p = player();
  std::lock_guard guard(p.lock);
  p.volume = std::clamp(volume, 0, 32767);
  p.applyVolume();
}

long long OggGetPlaybackPos(void) {
  Player& p = player();
  std::lock_guard guard(p.lock);
  p.update();
  return p.base + p.current;
}

void OggEnd(void) {
  Player& p = player();
  std::lock_guard guard(p.lock);
  p.closeDevice();
}

}  // extern "C"
