// A page's module runs on its worker's one thread and starts no other: every
// part that would start threads a core starts none.
#include "imaging/Cores.h"

namespace framelot {

unsigned CoreCount()
{
    return 1;
}

}  // namespace framelot
