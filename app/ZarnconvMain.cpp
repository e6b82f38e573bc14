// zarnconv: the full converter, with the fast transform, the perceptual
// model and the measured bit allocation.

#include "app/Menu.h"
#include "decoder/Decoder.h"
#include "decoder/FullSynthesis.h"
#include "encoder/Encoder.h"
#include "encoder/FullAnalysis.h"

int main() {
    using namespace zarn;
    return runMenu({&Encoder<FullAnalysis>::encode, &Decoder<FullSynthesis>::decode});
}
