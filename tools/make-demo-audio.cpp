// Writes the bundled sound demo: a room with typing and speech, and a one-tap, a two-tap and a three-tap
// gesture knocked on the chassis (firm taps, level 2), the last one over quiet talk.
//
//   knokle_make_demo_audio share/demo/gestures.wav

#include "sensing/SyntheticSound.h"
#include "sensing/WavFile.h"

#include <cstdio>

using namespace knokle;

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT\n", argv[0]);
        return 2;
    }
    const SoundTapShape knock{.peakDb = 37, .frequency = 260, .decay = 0.035, .click = true};
    SyntheticSound sound(44100, 1, 7, -50);
    sound.typing(1.0, 2.5, 5, 32);            // typing
    sound.tap(4.5, knock);                    // one tap
    sound.speech(7.0, 3.0, 32);               // someone talking
    sound.taps(11.0, 2, 0.35, knock);         // two taps
    sound.typing(13.5, 2.5, 7, 34);           // fast typing
    sound.speech(17.5, 3.0, 12);              // quiet talk...
    sound.taps(18.0, 3, 0.3, knock);          // ...under three taps
    sound.speech(21.5, 2.5, 30).typing(24.5, 1.5, 4, 30);
    sound.extend(27);
    if (auto why = writeWav(argv[1], sound.render(), {44100, 1})) {
        std::fprintf(stderr, "%s\n", why->c_str());
        return 1;
    }
    return 0;
}
