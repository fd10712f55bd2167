#pragma once
// Where the build put the bridge, the real ve32 and the two stand-ins (each stand-in in a
// directory of its own, under ve32's host file name libve32.so).

#include <string>

namespace paths {

inline const std::string bridgeDirectory = BRIDGE_DIRECTORY;
inline const std::string bridgeFile = BRIDGE_FILE;
inline const std::string ve32Directory = VE32_DIRECTORY;
inline const std::string fullStandinDirectory = STANDIN_FULL_DIRECTORY;
inline const std::string partialStandinDirectory = STANDIN_PARTIAL_DIRECTORY;

inline std::string ve32In(const std::string& directory) {
    return directory + "/libve32.so";
}

}  // namespace paths
