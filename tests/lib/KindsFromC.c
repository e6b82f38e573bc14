/* zarn_encoder_create called from C, where a kind is any int: values that
 * are none of the enumeration's must be refused, not taken for one. */

#include <limits.h>
#include <stddef.h>
#include <stdint.h>

#include "lib/zarn.h"
#include "tests/lib/KindsFromC.h"

static int ignore(void *user, const uint8_t *bytes, size_t size) {
    (void)user;
    (void)bytes;
    (void)size;
    return 0;
}

size_t create_unknown_kinds_from_c(int errors[ZARN_TEST_UNKNOWN_KINDS]) {
    static const int kinds[ZARN_TEST_UNKNOWN_KINDS] = {4, -1, 3, INT_MIN, INT_MAX};
    size_t created = 0;
    size_t i;
    for (i = 0; i < ZARN_TEST_UNKNOWN_KINDS; ++i) {
        zarn_encoder *encoder;
        errors[i] = 1;
        encoder = zarn_encoder_create(kinds[i], ignore, NULL, &errors[i]);
        if (encoder != NULL) ++created;
        zarn_encoder_destroy(encoder);
    }
    return created;
}
