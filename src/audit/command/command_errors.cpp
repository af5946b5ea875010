#include "command_errors.h"

#include <string.h>

#include "fatal.h"
#include "jump_hosts.h"
#include "shown_text.h"

namespace portslot::audit {

void write_try_help(output &err)
{
    err.text("\nTry 'portslot-audit --help' for more information.\n");
}

namespace {

// "invalid value 'VALUE' for OPTION: WHY".
void write_invalid_value(const parsed_command &command, const char *why, output &err)
{
    err.text("invalid value '");
    write_escaped(err, command.value, strlen(command.value));
    err.text("' for ");
    write_escaped(err, command.name, command.name_size);
    err.text(": ");
    err.text(why);
}

// --jump's value, and the part of it that ProxyJump cannot take.
void write_jump_fault(const parsed_command &command, output &err)
{
    const jump_fault fault = check_jumps(command.value);
    write_invalid_value(command, "", err);
    if (fault.part_name != nullptr) {
        err.text(fault.part_name);
        err.text(" '");
        write_escaped(err, fault.part, fault.part_size);
        err.text("' ");
    }
    err.text(fault.why);
    err.text(" (ProxyJump takes [USER@]HOST[:PORT], or a comma list of them)");
}

} // namespace

void write_command_error(const parsed_command &command, output &err)
{
    warn(err);
    switch (command.error_kind) {
    case parsed_command::unknown_option:
        err.text("unknown option '");
        write_escaped(err, command.value, strlen(command.value));
        err.text("'");
        break;
    case parsed_command::takes_no_value:
    case parsed_command::needs_value:
        err.text("option '");
        write_escaped(err, command.name, command.name_size);
        err.text(command.error_kind == parsed_command::needs_value ? "' needs a value"
                                                                   : "' takes no value");
        break;
    case parsed_command::not_a_number:
        write_invalid_value(command, "not a whole number from -2147483648 to 2147483647", err);
        break;
    case parsed_command::not_a_field:
        write_invalid_value(command, "not a field number from 1, nor a column's name", err);
        break;
    case parsed_command::too_many:
        if (command.options.dropped_count < 8)
            write_invalid_value(command, "not a column's number from 1, nor its name", err);
        else
            err.text("--drop-column may be given at most 8 times");
        break;
    case parsed_command::not_a_delimiter:
        write_invalid_value(command, "not one byte, or a line end or a double quote", err);
        break;
    case parsed_command::not_a_jump:
        write_jump_fault(command, err);
        break;
    case parsed_command::not_a_domain:
        write_invalid_value(command, "not a DNS name (labels of letters, digits and '-', joined"
                                     " by dots)", err);
        break;
    case parsed_command::not_a_host:
        if (command.options.server_count <= 64)
            write_invalid_value(command, "not a host name or address", err);
        else
            err.text("--server may be given at most 64 times");
        break;
    case parsed_command::not_a_range:
        if (command.options.overflow_count <= 64)
            write_invalid_value(command, "not MIN-MAX, two ports from 1 to 65535 in order", err);
        else
            err.text("--overflow may be given at most 64 times");
        break;
    case parsed_command::not_a_user:
        write_invalid_value(command, "not a login name (letters, digits, '.', '_' and '-')", err);
        break;
    case parsed_command::not_a_path:
        write_invalid_value(command, "ssh_config would read it otherwise (empty, or a blank, a"
                                     " quote, '%' or a control byte in it)", err);
        break;
    case parsed_command::needs_other:
        err.bytes(command.name, command.name_size);
        err.text(" goes only with ");
        err.text(command.value);
        break;
    case parsed_command::needs_csv:
        err.bytes(command.name, command.name_size);
        err.text(" '");
        write_escaped(err, command.value, strlen(command.value));
        err.text("' names a column, which only --csv has; give a field number");
        break;
    case parsed_command::conflicting:
        err.bytes(command.name, command.name_size);
        err.text(" cannot be used with ");
        err.text(command.value);
        break;
    case parsed_command::standard_input_twice:
        err.text("--sockets - and an inventory cannot both be standard input; give the"
                 " inventory's name");
        break;
    }
    write_try_help(err);
}

} // namespace portslot::audit
