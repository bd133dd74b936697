// Variants of the slice loop for the benchmark only: the interpreter proper
// always checks addresses and dispatches through its fastest form.
#pragma once

#include "vm/machine_context.h"

namespace qavz {

// kChecked false drops the page-map checks of loads, stores and fetches (a
// wild address then reaches host memory); kThreaded picks computed goto over
// a switch. RunSlice is RunSliceVariant<true, true>.
template <bool kChecked, bool kThreaded>
int RunSliceVariant(MachineContext* context);

extern template int RunSliceVariant<true, true>(MachineContext*);
extern template int RunSliceVariant<true, false>(MachineContext*);
extern template int RunSliceVariant<false, true>(MachineContext*);
extern template int RunSliceVariant<false, false>(MachineContext*);

}  // namespace qavz
