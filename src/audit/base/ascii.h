// ASCII as the audit reads it: letters without case, as addresses and
// column names are compared; and the blanks that separate the words of a
// key line, a socket line or a host name list.
#ifndef PORTSLOT_AUDIT_ASCII_H
#define PORTSLOT_AUDIT_ASCII_H

namespace portslot::audit {

// Each byte in lower case, where it is an ASCII letter.
struct case_table {
    unsigned char lower[256];
};
consteval case_table make_case_table()
{
    case_table table{};
    for (int c = 0; c < 256; ++c)
        table.lower[c] = static_cast<unsigned char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return table;
}
inline constexpr case_table letter_cases = make_case_table();

// A space or a tab.
inline bool is_space_or_tab(char c)
{
    return c == ' ' || c == '\t';
}

} // namespace portslot::audit

#endif
