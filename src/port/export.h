/* Marks the functions that the portslot library exports. A shared build hides
 * every other symbol, so that only the documented interface can be linked
 * against. Plain C, as the C interface includes it too. */
#ifndef PORTSLOT_EXPORT_H
#define PORTSLOT_EXPORT_H

#if defined(__GNUC__)
#define PORTSLOT_API __attribute__((visibility("default")))
#else
#define PORTSLOT_API
#endif

#endif
