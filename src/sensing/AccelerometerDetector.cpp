#include "sensing/AccelerometerDetector.h"

#include "sensing/EventLog.h"

namespace knokle {

const char* AccelerometerDetector::verdictName(Verdict verdict) {
    switch (verdict) {
    case Verdict::noise:
        return "noise";
    case Verdict::underThreshold:
        return "under-threshold";
    case Verdict::rejectAmplitude:
        return "REJECT amplitude";
    case Verdict::rejectDuration:
        return "REJECT duration";
    case Verdict::rejectSideways:
        return "REJECT sideways";
    case Verdict::rejectSlowRise:
        return "REJECT slow-rise";
    case Verdict::rejectHeld:
        return "REJECT held";
    case Verdict::rejectSustained:
        return "REJECT sustained";
    case Verdict::accept:
        return "ACCEPT";
    }
    return "";
}

AccelerometerDetector::AccelerometerDetector() : eventLog(&EventLog::standard()) {}

} // namespace knokle
