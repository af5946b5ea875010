#include "plan_rows.h"

#include "fatal.h"

namespace portslot::audit {

void changed_since_planned(const fleet &inventories, uint64_t offset)
{
    fatal(inventories.files[inventories.index_of(offset)].name, "changed while being read");
}

} // namespace portslot::audit
