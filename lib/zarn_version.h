/* zarn_version.h: libzarn's version; included by zarn.h. The build takes
 * the project's version, the soname and the package files' versions from
 * these numbers, so they are written here alone. */
#ifndef ZARN_VERSION_H
#define ZARN_VERSION_H

#define ZARN_VERSION_MAJOR 1
#define ZARN_VERSION_MINOR 0
#define ZARN_VERSION_PATCH 0
#define ZARN_VERSION_STRING "1.0.0"

#endif /* ZARN_VERSION_H */
