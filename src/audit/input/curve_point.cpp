#include "curve_point.h"

namespace portslot::audit {

namespace {

// Unsigned numbers of up to 576 bits, least significant limb first: room for
// P-521's values and the carry of a sum of two of them.
constexpr int limbs = 18;
struct number {
    uint32_t limb[limbs];
};

consteval int hex_value(char c)
{
    return c <= '9' ? c - '0' : c - 'a' + 10;
}

// A constant from its hexadecimal digits, most significant first.
consteval number from_hex(const char *digits)
{
    number n{};
    int count = 0;
    while (digits[count] != '\0')
        ++count;
    for (int i = 0; i < count; ++i) {
        const int bit = 4 * (count - 1 - i);
        n.limb[bit / 32] |= uint32_t(hex_value(digits[i])) << (bit % 32);
    }
    return n;
}

// A curve y² = x³ − 3x + b over the integers modulo p, and its group's order.
struct curve_constants {
    number p, b, order;
    size_t size;
};

constexpr curve_constants curves[] = {
    {from_hex("ffffffff00000001000000000000000000000000ffffffffffffffffffffffff"),
     from_hex("5ac635d8aa3a93e7b3ebbd55769886bc651d06b0cc53b0f63bce3c3e27d2604b"),
     from_hex("ffffffff00000000ffffffffffffffffbce6faada7179e84f3b9cac2fc632551"), 32},
    {from_hex("fffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffeffffffff0000000000"
              "000000ffffffff"),
     from_hex("b3312fa7e23ee7e4988e056be3f82d19181d9c6efe8141120314088f5013875ac656398d8a2ed19d2a"
              "85c8edd3ec2aef"),
     from_hex("ffffffffffffffffffffffffffffffffffffffffffffffffc7634d81f4372ddf581a0db248b0a77aec"
              "ec196accc52973"),
     48},
    {from_hex("1fffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffff"
              "fffffffffffffffffffffffffffffffffffffffffffffffff"),
     from_hex("51953eb9618e1c9a1f929a21a0b68540eea2da725b99b315f3b8b489918ef109e156193951ec7e937b"
              "1652c0bd3bb1bf073573df883d2c34f1ef451fd46b503f00"),
     from_hex("1fffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffa51868783bf2f966b"
              "7fcc0148f709a5d03bb5c9b8899c47aebb6fb71e91386409"),
     66},
};

number from_bytes(const uint8_t *bytes, size_t size)
{
    number n{};
    for (size_t i = 0; i < size; ++i) {
        const size_t bit = 8 * (size - 1 - i);
        n.limb[bit / 32] |= uint32_t{bytes[i]} << (bit % 32);
    }
    return n;
}

int compare(const number &a, const number &b)
{
    for (int i = limbs - 1; i >= 0; --i)
        if (a.limb[i] != b.limb[i])
            return a.limb[i] < b.limb[i] ? -1 : 1;
    return 0;
}

int bit_length(const number &a)
{
    for (int i = limbs - 1; i >= 0; --i)
        if (a.limb[i] != 0)
            return 32 * i + 32 - __builtin_clz(a.limb[i]);
    return 0;
}

bool bit(const number &a, int i)
{
    return (a.limb[i / 32] >> (i % 32) & 1) != 0;
}

number add(const number &a, const number &b)
{
    number r;
    uint64_t carry = 0;
    for (int i = 0; i < limbs; ++i) {
        carry += uint64_t{a.limb[i]} + b.limb[i];
        r.limb[i] = static_cast<uint32_t>(carry);
        carry >>= 32;
    }
    return r;
}

// a − b, for a ≥ b.
number subtract(const number &a, const number &b)
{
    number r;
    int64_t borrow = 0;
    for (int i = 0; i < limbs; ++i) {
        const int64_t d = int64_t{a.limb[i]} - b.limb[i] - borrow;
        r.limb[i] = static_cast<uint32_t>(d);
        borrow = d < 0;
    }
    return r;
}

// The sum and difference of two values below p, modulo p.
number add_mod(const number &a, const number &b, const number &p)
{
    const number sum = add(a, b);
    return compare(sum, p) >= 0 ? subtract(sum, p) : sum;
}
number subtract_mod(const number &a, const number &b, const number &p)
{
    return compare(a, b) >= 0 ? subtract(a, b) : subtract(add(a, p), b);
}

// a·b modulo p, a bit of a at a time: a few hundred doublings at most, for
// a check made once a key.
number multiply_mod(const number &a, const number &b, const number &p)
{
    number r{};
    for (int i = bit_length(a) - 1; i >= 0; --i) {
        r = add_mod(r, r, p);
        if (bit(a, i))
            r = add_mod(r, b, p);
    }
    return r;
}

} // namespace

size_t coordinate_size(nist_curve curve)
{
    return curves[static_cast<int>(curve)].size;
}

bool is_curve_point(nist_curve curve, const uint8_t *x_bytes, const uint8_t *y_bytes)
{
    const curve_constants &c = curves[static_cast<int>(curve)];
    const number x = from_bytes(x_bytes, c.size), y = from_bytes(y_bytes, c.size);
    // Each coordinate of more bits than half the order's, and below the
    // order less one (so also below p, which is greater).
    const number order_less_one = subtract(c.order, number{{1}});
    const int half = bit_length(c.order) / 2;
    const auto sound = [&](const number &v) {
        return bit_length(v) > half && compare(v, order_less_one) < 0;
    };
    if (!sound(x) || !sound(y))
        return false;
    const number y2 = multiply_mod(y, y, c.p);
    const number x3 = multiply_mod(multiply_mod(x, x, c.p), x, c.p);
    const number three_x = add_mod(add_mod(x, x, c.p), x, c.p);
    return compare(y2, add_mod(subtract_mod(x3, three_x, c.p), c.b, c.p)) == 0;
}

} // namespace portslot::audit
