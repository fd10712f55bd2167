#include "sndfile_metadata.h"

#include <memory>

namespace ve_cli {
namespace {

// Large enough for any coding history and cue list a real file carries; these structures are
// variable-length in the file and fixed-size in libsndfile's interface.
typedef SF_BROADCAST_INFO_VAR(16384) BroadcastInfo;
typedef SF_CUES_VAR(1024) CuePoints;

template <typename Record>
void copyRecord(SNDFILE* from, SNDFILE* to, int getCommand, int setCommand) {
    auto record = std::make_unique<Record>();
    if (sf_command(from, getCommand, record.get(), sizeof(Record)) == SF_TRUE)
        sf_command(to, setCommand, record.get(), sizeof(Record));
}

}  // namespace

void copyMetadata(SNDFILE* from, SNDFILE* to) {
    if (!from || !to) return;
    for (int kind = SF_STR_FIRST; kind <= SF_STR_LAST; ++kind)
        if (const char* text = sf_get_string(from, kind)) sf_set_string(to, kind, text);
    copyRecord<BroadcastInfo>(from, to, SFC_GET_BROADCAST_INFO, SFC_SET_BROADCAST_INFO);
    copyRecord<SF_CART_INFO>(from, to, SFC_GET_CART_INFO, SFC_SET_CART_INFO);
    copyRecord<SF_INSTRUMENT>(from, to, SFC_GET_INSTRUMENT, SFC_SET_INSTRUMENT);
    copyRecord<CuePoints>(from, to, SFC_GET_CUE, SFC_SET_CUE);
}

}  // namespace ve_cli
