#pragma once
/* The C half of the library's test of kinds that are none (KindsFromC.c). */

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

/* The kinds tried: 4, -1, 3, INT_MIN and INT_MAX. */
#define ZARN_TEST_UNKNOWN_KINDS 5

/* Creates an encoder of each such kind; returns how many were made (each is
 * destroyed again), with the error each call reported in `errors`. */
size_t create_unknown_kinds_from_c(int errors[ZARN_TEST_UNKNOWN_KINDS]);

#ifdef __cplusplus
}
#endif
