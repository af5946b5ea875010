// Whether a point is one of a NIST prime curve's, the check sshd makes of an
// ECDSA public key before it takes it.
#ifndef PORTSLOT_AUDIT_CURVE_POINT_H
#define PORTSLOT_AUDIT_CURVE_POINT_H

#include <stddef.h>
#include <stdint.h>

namespace portslot::audit {

enum class nist_curve : unsigned char { p256, p384, p521 };

// The size in bytes of one coordinate of `curve`'s points.
size_t coordinate_size(nist_curve curve);

// True when (`x`, `y`), each coordinate_size() bytes big-endian, lies on
// `curve` and passes sshd's further checks: each coordinate longer than half
// the group's order in bits and below the order less one.
bool is_curve_point(nist_curve curve, const uint8_t *x, const uint8_t *y);

} // namespace portslot::audit

#endif
