#include "host_key.h"

#include <string.h>

#include "csv_header.h"

namespace portslot::audit {

uint32_t key_column(const inventory &inv, uint32_t field, const char *name)
{
    return name == nullptr ? field : csv_column_named(inv, name);
}

uint32_t host_key_column(const inventory &inv, uint32_t field, const char *name)
{
    if (field != 0)
        return field;
    if (name != nullptr)
        return csv_column_named(inv, name);
    return inv.host_key_column;
}

public_key read_host_key(const char *text, size_t size)
{
    const public_key key = read_public_key(text, size);
    if (key.size != 0) // (its type is one sshd takes; security keys' start so)
        return memcmp(text, "sk-", 3) == 0 ? public_key{0, key_fault::security_key} : key;
    if (key.fault != key_fault::unknown_type) // (no certificate's type is a key's)
        return key;
    size_t type_size = 0;
    while (type_size < size && text[type_size] != ' ' && text[type_size] != '\t')
        ++type_size;
    static constexpr char certificate[] = "-cert-v01@openssh.com";
    constexpr size_t certificate_size = sizeof certificate - 1;
    if (type_size > certificate_size &&
        memcmp(text + type_size - certificate_size, certificate, certificate_size) == 0)
        return {0, key_fault::certificate};
    return key;
}

} // namespace portslot::audit
