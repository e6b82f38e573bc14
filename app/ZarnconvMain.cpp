// zarnconv: the full converter, with the fast transform, the perceptual
// model and the measured bit allocation.

#include "app/Menu.h"
#include "decoder/Decoder.h"
#include "decoder/FullDecoderSteps.h"
#include "encoder/Encoder.h"
#include "encoder/FullEncoderSteps.h"

int main() {
    using namespace zarn;
    return runMenu({&Encoder<FullEncoderSteps>::encode, &Decoder<FullDecoderSteps>::decode});
}
