#include "imaging/Cores.h"

#include <algorithm>
#include <thread>

namespace framelot {

unsigned CoreCount()
{
    return std::max(1u, std::thread::hardware_concurrency());
}

}  // namespace framelot
