// libsndfile's error text, trimmed for use inside ve's own one-line messages.
#pragma once

#include <sndfile.h>

#include <string>
#include <string_view>

namespace ve_cli {

// "System error : No space left on device." becomes "No space left on device".
inline std::string sndfileErrorText(SNDFILE* file) {
    std::string message = sf_strerror(file);
    for (std::string_view prefix : {"System error : ", "Error : "})
        if (message.rfind(prefix, 0) == 0) message.erase(0, prefix.size());
    while (!message.empty() && (message.back() == '.' || message.back() == '\n'))
        message.pop_back();
    return message;
}

}  // namespace ve_cli
