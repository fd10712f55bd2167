// Carries the metadata libsndfile knows about from an input file to an output file.
#pragma once

#include <sndfile.h>

namespace ve_cli {

// Copies text tags (title, artist, ...), broadcast and cart chunks, cue points and instrument
// data. Must run before the first frame is written. Items the output container cannot hold are
// skipped: the audio matters more than the tags.
void copyMetadata(SNDFILE* from, SNDFILE* to);

}  // namespace ve_cli
