// Listens to the default sound source through the program's capture for a number of seconds, doing nothing with
// the sound but counting it: the capture's own cost, for bench/microphone-cpu.sh.
#include "platform/linux/audio/PulseAudioCapture.h"
#include "platform/linux/runtime/QtMainLoop.h"

#include <QCoreApplication>
#include <QTimer>
#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    double seconds = argc > 1 ? std::atof(argv[1]) : 10;
    knokle::QtMainLoop loop;
    knokle::PulseAudioCapture capture(loop);
    std::size_t frames = 0, blocks = 0;
    capture.onFrames = [&](const float*, std::size_t count, knokle::AudioFormat, double) {
        frames += count;
        ++blocks;
    };
    capture.onStateChanged = [](knokle::AudioCapture::State state, const std::string& reason) {
        std::printf("state %d %s\n", int(state), reason.c_str());
        std::fflush(stdout);
    };
    capture.open({});
    QTimer::singleShot(int(seconds * 1000), [&] {
        std::printf("frames %zu blocks %zu\n", frames, blocks);
        capture.close();
        app.quit();
    });
    return app.exec();
}
