// zarnbasic: the reduced converter, with the direct transform, nothing
// removed as inaudible and 15 bits in every band. It reads and writes the same
// files as zarnconv.

#include "app/Menu.h"
#include "decoder/Decoder.h"
#include "encoder/Encoder.h"
#include "reduced/ReducedSynthesis.h"
#include "reduced/ReducedAnalysis.h"

int main() {
    using namespace zarn;
    return runMenu({&Encoder<ReducedAnalysis>::encode, &Decoder<ReducedSynthesis>::decode});
}
