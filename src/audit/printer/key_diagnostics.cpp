#include "key_diagnostics.h"

#include <algorithm>
#include <iterator>

#include "ascii.h"
#include "fatal.h"
#include "record_places.h"
#include "shown_text.h"

namespace portslot::audit {

namespace {

// What a refusal says after the record's place.
void write_refusal(output &err, const key_line &line, const char *texts, key_use use)
{
    static constexpr const char *faults[] = {
        "",
        "",
        "the type alone, without its base64 data",
        "its data is not canonical base64",
        "its data is larger than any key",
        "its data is of another type than its text says",
        "its data is cut short",
        "its data has fields after the key's own",
        "an Ed25519 key must be 32 bytes",
        "a security key without its application",
        "its curve is not its type's",
        "its point is not an uncompressed point of its curve",
        "its point is not on its curve",
        "an RSA number below zero",
        "an RSA modulus must be 1024 to 16384 bits",
        "a security key's type, which is a user's key and never a host's",
        "a certificate, not the host's key itself",
    };
    static_assert(std::size(faults) == static_cast<size_t>(key_fault::certificate) + 1);
    const bool host = use == key_use::host;
    switch (line.why) {
    case refusal::no_key:
        err.text(": no public key\n");
        return;
    case refusal::control_in_key:
        err.text(host ? ": a control byte in the host key field\n"
                      : ": a control byte in the key field\n");
        return;
    case refusal::address:
        err.text(": the address is not a plain MAC address (12 hexadecimal digits, colons"
                 " aside); ");
        err.text(host ? "no known_hosts line for it\n" : "no key line for it\n");
        return;
    default: // bad_key (same_key is said with its other place, by the caller)
        break;
    }
    err.text(host ? ": not a host key ssh takes: " : ": not a public key sshd takes: ");
    if (line.fault != key_fault::unknown_type) {
        err.text(faults[static_cast<int>(line.fault)]);
        err.text("\n");
        return;
    }
    size_t word = 0;
    while (word < line.key_size && !is_space_or_tab(texts[line.key + word]))
        ++word;
    err.text("\"");
    write_cut(err, texts + line.key, word, 64);
    err.text("\" is not a key type (the field holds TYPE BASE64 and a comment, nothing before"
             " it)\n");
}

// For each shared block, its first port and the places of its devices.
template <class Place>
void write_shared_blocks(const growing_array<key_line> &lines, const Place &place, output &err)
{
    uint64_t devices = 0, blocks = 0;
    for (size_t i = 0; i < lines.size; ++i)
        if (lines.items[i].shared) {
            ++devices;
            blocks += i == 0 || lines.items[i - 1].first != lines.items[i].first;
        }
    if (blocks > 0) {
        warn(err, "warning: ");
        err.number(static_cast<int64_t>(devices));
        err.text(" devices share ");
        err.number(static_cast<int64_t>(blocks));
        err.text(blocks == 1 ? " block" : " blocks");
        err.text(", and each of their keys may listen on the others' ports:\n");
        for (size_t i = 0; i < lines.size; ++i) {
            const key_line &line = lines.items[i];
            if (!line.shared)
                continue;
            const bool opens = i == 0 || lines.items[i - 1].first != line.first;
            const bool closes = i + 1 == lines.size || lines.items[i + 1].first != line.first;
            if (opens) {
                err.text("  ");
                err.number(line.first);
                err.text(":");
            }
            err.text(" ");
            place(line.offset);
            if (closes)
                err.text("\n");
        }
    }
}

} // namespace

bool write_key_diagnostics(const growing_array<key_line> &lines, const fleet &inventories,
                           const char *texts, key_use use, output &err)
{
    // (A device without a host key is counted, not refused.)
    const auto refused = [use](const key_line &line) {
        return line.why != refusal::none && (use == key_use::tunnel || line.why != refusal::no_key);
    };
    record_places places(inventories);
    for (size_t i = 0; i < lines.size; ++i) {
        const key_line &line = lines.items[i];
        if (refused(line) || (line.shared && use == key_use::tunnel))
            places.add(line.offset);
    }
    if (places.empty())
        return true;
    places.number();
    const auto place = [&](uint64_t offset) { places.write(err, offset); };
    // The refusals by place (the lines are in block order).
    growing_array<const key_line *> said;
    for (size_t i = 0; i < lines.size; ++i)
        if (refused(lines.items[i]))
            said.push(lines.items + i);
    std::sort(said.items, said.items + said.size,
              [](const key_line *a, const key_line *b) { return a->offset < b->offset; });
    for (size_t k = 0; k < said.size; ++k) {
        const key_line &line = *said.items[k];
        place(line.offset);
        if (line.why == refusal::same_key) {
            err.text(use == key_use::host ? ": the same host key as " : ": the same public key as ");
            place(line.other);
            err.text(use == key_use::host
                         ? ", so neither device's line is written: ssh could not tell them apart\n"
                         : ", so neither device's line is written: a key must be one device's\n");
        } else {
            write_refusal(err, line, texts, use);
        }
    }
    if (use == key_use::tunnel)
        write_shared_blocks(lines, place, err);
    return said.size == 0;
}

} // namespace portslot::audit
