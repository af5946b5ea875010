// ASCII letters without case, as addresses and column names are compared.
#ifndef PORTSLOT_AUDIT_LETTER_CASE_H
#define PORTSLOT_AUDIT_LETTER_CASE_H

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

} // namespace portslot::audit

#endif
