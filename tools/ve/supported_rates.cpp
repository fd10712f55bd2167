#include "supported_rates.h"

#include <algorithm>
#include <cstdlib>

namespace ve_cli {

bool isSupportedRate(int sampleRate) {
    return std::find(kSupportedRates.begin(), kSupportedRates.end(), sampleRate) !=
           kSupportedRates.end();
}

int nearestSupportedRate(int sampleRate) {
    int best = kSupportedRates.front();
    for (int rate : kSupportedRates) {
        long distance = std::labs(static_cast<long>(rate) - sampleRate);
        long bestDistance = std::labs(static_cast<long>(best) - sampleRate);
        if (distance <= bestDistance) best = rate;  // ascending order: ties go to the higher rate
    }
    return best;
}

std::string supportedRatesText() {
    std::string text;
    for (size_t i = 0; i < kSupportedRates.size(); ++i) {
        if (i > 0) text += (i + 1 == kSupportedRates.size()) ? " and " : ", ";
        text += std::to_string(kSupportedRates[i]);
    }
    return text + " Hz";
}

}  // namespace ve_cli
