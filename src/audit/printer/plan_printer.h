// How the plan is written: as text or as JSON Lines. The form is chosen once;
// each form only reads the plan.
#ifndef PORTSLOT_AUDIT_PLAN_PRINTER_H
#define PORTSLOT_AUDIT_PLAN_PRINTER_H

#include "fleet.h"
#include "output.h"
#include "plan.h"

namespace portslot::audit {

// Where rows go, and whether that is a terminal (on which text rows show
// control bytes escaped).
struct rows_place {
    output &out;
    bool terminal;
};

struct plan_printer {
    // The range --suggest found.
    void (*range)(const port_range &range, output &out);
    // A row for each device of the plan that has one, read from `inventories`.
    void (*rows)(const plan &p, const fleet &inventories, const rows_place &to);
    void (*summary)(const plan_summary &summary, output &out);
};

// "first-last<TAB>mac<TAB>label" rows; "D devices, U of B blocks in use, S
// shared by K devices"; "--port-min N --port-max N --port-count N".
extern const plan_printer text_printer;

// One JSON object a line: "range", "device" and "summary".
extern const plan_printer json_printer;

} // namespace portslot::audit

#endif
