#pragma once
// The Ogg player library: plays one Ogg Vorbis file at a time in the
// background. Loaded by name at run time from the program folder; these are
// the only operations it exports (plain C names, no mangling).
//
//   OggPlay            starts playing the file at `path` (code page 932
//                      bytes) and returns at once; a sound already playing
//                      is replaced. A missing or unreadable file plays
//                      nothing. Returns 1 when a sound started, else 0.
//   OggSetVolume       volume 0..32767 (values outside are clamped); applies
//                      to the sound playing now and to later ones.
//   OggGetPlaybackPos  milliseconds of sound played since the library was
//                      loaded; grows while a sound plays and stands still
//                      otherwise, so two equal readings mean "nothing plays".
//   OggEnd             stops playback and releases the audio device.
//
// All four may be called from any one thread at a time or from several
// threads; calls are serialised inside the library.

#ifdef __cplusplus
extern "C" {
#endif

#define ORVA_OGG_EXPORT __attribute__((visibility("default")))

ORVA_OGG_EXPORT int OggPlay(const char* path);
ORVA_OGG_EXPORT void OggSetVolume(int volume);
ORVA_OGG_EXPORT long long OggGetPlaybackPos(void);
ORVA_OGG_EXPORT void OggEnd(void);

typedef int (*OggPlayFn)(const char*);
typedef void (*OggSetVolumeFn)(int);
typedef long long (*OggGetPlaybackPosFn)(void);
typedef void (*OggEndFn)(void);

#ifdef __cplusplus
}
#endif
