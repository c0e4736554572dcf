// Exports OggGetPlaybackPos only.
extern "C" __attribute__((visibility("default"))) long long OggGetPlaybackPos(void) { return 0; }
