#include "public_key.h"

#include <stdint.h>
#include <string.h>

#include "ascii.h"
#include "curve_point.h"
#include "words.h"

namespace portslot::audit {

namespace {

// Each byte's value as a base64 digit, or -1.
struct base64_table {
    signed char of[256];
};
consteval base64_table make_base64_digits()
{
    base64_table table{};
    const char digits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    for (int c = 0; c < 256; ++c)
        table.of[c] = -1;
    for (int i = 0; i < 64; ++i)
        table.of[static_cast<unsigned char>(digits[i])] = static_cast<signed char>(i);
    return table;
}
constexpr base64_table base64_digits = make_base64_digits();

// Larger than any key sshd takes (an RSA key of 16384 bits is about 2 KiB).
constexpr size_t blob_room = 8192;

// Decodes `size` base64 digits into `blob`, as sshd does: whole groups of
// four, '=' only at the end, and no bits set past the last byte (else one
// key would have several texts). The size decoded, or -1.
long decode_base64(const char *text, size_t size, uint8_t *blob)
{
    if (size % 4 != 0) // (the caller keeps it within blob_room)
        return -1;
    size_t padding = 0;
    while (padding < 2 && text[size - 1 - padding] == '=') // (the caller gives 4 digits at least)
        ++padding;
    const auto digit = [&](size_t i) {
        return static_cast<int32_t>(base64_digits.of[static_cast<unsigned char>(text[i])]);
    };
    // Whole groups of four digits, then what the padding leaves.
    size_t n = 0;
    const size_t whole = (size - (padding != 0 ? 4 : 0)) / 4;
    for (size_t g = 0; g < whole; ++g) {
        const int32_t a = digit(4 * g), b = digit(4 * g + 1), c = digit(4 * g + 2),
                      d = digit(4 * g + 3);
        if ((a | b | c | d) < 0)
            return -1;
        const auto v = static_cast<uint32_t>(a << 18 | b << 12 | c << 6 | d);
        blob[n++] = static_cast<uint8_t>(v >> 16);
        blob[n++] = static_cast<uint8_t>(v >> 8);
        blob[n++] = static_cast<uint8_t>(v);
    }
    uint32_t v = 0;
    for (size_t i = 4 * whole; i < size - padding; ++i) {
        if (digit(i) < 0)
            return -1;
        v = v << 6 | static_cast<uint32_t>(digit(i));
    }
    if (padding == 2) { // 12 bits left: one byte, and 4 spare bits
        if ((v & 0xf) != 0)
            return -1;
        blob[n++] = static_cast<uint8_t>(v >> 4);
    } else if (padding == 1) { // 18 bits left: two bytes, and 2 spare bits
        if ((v & 0x3) != 0)
            return -1;
        blob[n++] = static_cast<uint8_t>(v >> 10);
        blob[n++] = static_cast<uint8_t>(v >> 2);
    }
    return static_cast<long>(n);
}

// The fields of a key's data, each an SSH string: four bytes of length,
// then the bytes.
struct fields {
    const uint8_t *at, *end;
    bool short_ = false; // a field ran past the end

    // The next field, or null (and short_ set) when it is cut short.
    const uint8_t *next(size_t &size)
    {
        if (end - at < 4) {
            short_ = true;
            return nullptr;
        }
        size = size_t{at[0]} << 24 | size_t{at[1]} << 16 | size_t{at[2]} << 8 | at[3];
        if (size > static_cast<size_t>(end - at - 4)) {
            short_ = true;
            return nullptr;
        }
        const uint8_t *field = at + 4;
        at += 4 + size;
        return field;
    }
    bool is(const uint8_t *field, size_t size, const char *text) const
    {
        return field != nullptr && size == strlen(text) && memcmp(field, text, size) == 0;
    }
};

// The part of each type after its name.
enum class shape : unsigned char { ed25519, ecdsa, rsa };
struct key_type {
    const char *name;
    size_t size; // of the name (known when compiled: no call for it)
    shape form;
    bool security_key; // an application field follows
    const char *curve;
    nist_curve curve_kind;
};
template <size_t N>
consteval key_type type_named(const char (&name)[N], shape form, bool security_key,
                              const char *curve, nist_curve curve_kind)
{
    return {name, N - 1, form, security_key, curve, curve_kind};
}
// The key types sshd takes (ssh-dss no longer).
constexpr key_type key_types[] = {
    type_named("ssh-ed25519", shape::ed25519, false, nullptr, nist_curve::p256),
    type_named("ssh-rsa", shape::rsa, false, nullptr, nist_curve::p256),
    type_named("ecdsa-sha2-nistp256", shape::ecdsa, false, "nistp256", nist_curve::p256),
    type_named("ecdsa-sha2-nistp384", shape::ecdsa, false, "nistp384", nist_curve::p384),
    type_named("ecdsa-sha2-nistp521", shape::ecdsa, false, "nistp521", nist_curve::p521),
    type_named("sk-ssh-ed25519@openssh.com", shape::ed25519, true, nullptr, nist_curve::p256),
    type_named("sk-ecdsa-sha2-nistp256@openssh.com", shape::ecdsa, true, "nistp256",
               nist_curve::p256),
};

// An RSA number (an SSH mpint): its size in bits, or -1 when it is negative.
long mpint_bits(const uint8_t *p, size_t size)
{
    if (size > 0 && (p[0] & 0x80) != 0)
        return -1;
    while (size > 0 && *p == 0)
        ++p, --size;
    return size == 0 ? 0 : static_cast<long>(8 * size) - __builtin_clz(p[0]) + 24;
}

key_fault check_rsa(fields &f)
{
    size_t e_size = 0, n_size = 0;
    const uint8_t *e = f.next(e_size);
    const uint8_t *n = e != nullptr ? f.next(n_size) : nullptr;
    if (n == nullptr)
        return key_fault::cut_short;
    const long e_bits = mpint_bits(e, e_size), n_bits = mpint_bits(n, n_size);
    if (e_bits < 0 || n_bits < 0)
        return key_fault::rsa_negative;
    return n_bits < 1024 || n_bits > 16384 ? key_fault::rsa_size : key_fault::none;
}

key_fault check_ecdsa(fields &f, const key_type &type)
{
    size_t curve_size = 0, point_size = 0;
    const uint8_t *curve = f.next(curve_size);
    const uint8_t *point = curve != nullptr ? f.next(point_size) : nullptr;
    if (point == nullptr)
        return key_fault::cut_short;
    if (!f.is(curve, curve_size, type.curve))
        return key_fault::curve_name;
    const size_t coordinate = coordinate_size(type.curve_kind);
    if (point_size != 1 + 2 * coordinate || point[0] != 4)
        return key_fault::point_form;
    return is_curve_point(type.curve_kind, point + 1, point + 1 + coordinate)
               ? key_fault::none
               : key_fault::not_on_curve;
}

// The fields of `type` after its name, then nothing.
key_fault check_fields(fields &f, const key_type &type)
{
    key_fault fault = key_fault::none;
    if (type.form == shape::rsa) {
        fault = check_rsa(f);
    } else if (type.form == shape::ecdsa) {
        fault = check_ecdsa(f, type);
    } else {
        size_t size = 0;
        if (f.next(size) == nullptr)
            return key_fault::cut_short;
        fault = size == 32 ? key_fault::none : key_fault::ed25519_size;
    }
    if (fault != key_fault::none)
        return fault;
    size_t size = 0;
    const uint8_t *application = type.security_key ? f.next(size) : nullptr;
    if (type.security_key && (application == nullptr || memchr(application, 0, size) != nullptr))
        return key_fault::no_application;
    return f.at == f.end ? key_fault::none : key_fault::extra_fields;
}

constexpr size_t ed25519_key_size = 12 + 68;

// True when `text` starts with an Ed25519 key, "ssh-ed25519 " and its data
// (the usual key, checked without decoding it): that data is always 51
// bytes (the name's size and name, the key's size, 32, and the key), so 68
// digits and no padding; the first 25 say all but the key, the 26th holds
// the size's last two bits, both zero, and the key's first four, and the 42
// after hold only the key. Then a blank, or the text's end.
bool starts_ed25519_key(const char *text, size_t size)
{
    static constexpr char head[] = "ssh-ed25519 AAAAC3NzaC1lZDI1NTE5AAAAI";
    constexpr size_t head_size = sizeof head - 1, key_size = ed25519_key_size;
    if (size < key_size || (size > key_size && !is_space_or_tab(text[key_size])) ||
        memcmp(text, head, head_size) != 0)
        return false;
    const auto digit = [&](size_t i) {
        return static_cast<int>(base64_digits.of[static_cast<unsigned char>(text[i])]);
    };
    if (digit(head_size) < 0 || digit(head_size) >= 16)
        return false;
    int any_bad = 0; // (a byte that is no digit is -1)
    for (size_t i = head_size + 1; i < key_size; i += 6) // (six at a time: no test between)
        any_bad |= digit(i) | digit(i + 1) | digit(i + 2) | digit(i + 3) | digit(i + 4) |
                   digit(i + 5);
    return any_bad >= 0;
}

} // namespace

public_key read_public_key(const char *text, size_t size)
{
    if (starts_ed25519_key(text, size)) // (any other key is decoded)
        return {ed25519_key_size, key_fault::none};
    size_t type_end = 0;
    while (type_end < size && !is_space_or_tab(text[type_end]))
        ++type_end;
    size_t body = type_end;
    while (body < size && is_space_or_tab(text[body]))
        ++body;
    // (Base64 eight bytes at a time up to the first byte that could be a blank.)
    size_t body_end = static_cast<size_t>(skip_words_from(text + body, text + size, 0x21) - text);
    while (body_end < size && !is_space_or_tab(text[body_end]))
        ++body_end;

    const key_type *type = nullptr;
    for (const key_type &t : key_types)
        if (type_end == t.size && memcmp(text, t.name, type_end) == 0)
            type = &t;
    if (type == nullptr)
        return {0, key_fault::unknown_type};
    if (body == body_end)
        return {0, key_fault::no_data};
    if ((body_end - body) / 4 * 3 > blob_room)
        return {0, key_fault::too_large};
    uint8_t blob[blob_room];
    const long decoded = decode_base64(text + body, body_end - body, blob);
    if (decoded < 0)
        return {0, key_fault::not_base64};
    fields f{blob, blob + decoded};
    size_t name_size = 0;
    const uint8_t *name = f.next(name_size);
    if (name == nullptr)
        return {0, key_fault::cut_short};
    if (name_size != type->size || memcmp(name, type->name, name_size) != 0)
        return {0, key_fault::other_type};
    const key_fault fault = check_fields(f, *type);
    return {fault == key_fault::none ? body_end : 0, fault};
}

} // namespace portslot::audit
