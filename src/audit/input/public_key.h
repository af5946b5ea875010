// An OpenSSH public key as the server's sshd reads it from authorized_keys:
// "TYPE BASE64", the base64 canonical and decoding to the fields of that
// type, each of them whole and sound.
#ifndef PORTSLOT_AUDIT_PUBLIC_KEY_H
#define PORTSLOT_AUDIT_PUBLIC_KEY_H

#include <stddef.h>

namespace portslot::audit {

// Why a text is not a key sshd takes.
enum class key_fault : unsigned char {
    none,
    unknown_type,   // the first word is no type sshd takes
    no_data,        // the type alone
    not_base64,     // not base64, not padded to whole groups, or spare bits set
    too_large,      // larger than any key
    other_type,     // the data names another type than the text
    cut_short,      // a field runs past the data's end
    extra_fields,   // fields after the type's own
    ed25519_size,   // an Ed25519 key that is not 32 bytes
    no_application, // a security key's application field missing
    curve_name,     // an ECDSA key whose curve is not its type's
    point_form,     // an ECDSA point not uncompressed, or of the wrong size
    not_on_curve,   // an ECDSA point that is not on its curve
    rsa_negative,   // an RSA number below zero
    rsa_size,       // an RSA modulus outside 1024 to 16384 bits
    security_key,   // (a host key) a security key's type
    certificate,    // (a host key) a certificate, not a key
};

struct public_key {
    size_t size; // of "TYPE BASE64" at the text's start; 0 when refused
    key_fault fault;
};

// The key at the start of `text` (`size` bytes), up to the blank before any
// comment.
public_key read_public_key(const char *text, size_t size);

} // namespace portslot::audit

#endif
