#include "imaging/FrameMethods.h"

namespace framelot {

const char* DisposeName(DisposeMethod method)
{
    switch (method) {
    case DisposeMethod::None: return "none";
    case DisposeMethod::Keep: return "keep";
    case DisposeMethod::Background: return "background";
    case DisposeMethod::Previous: return "previous";
    }
    return "none";
}

const char* BlendName(BlendMethod method)
{
    return method == BlendMethod::Over ? "over" : "source";
}

DisposeMethod EffectiveDispose(DisposeMethod method, std::size_t index)
{
    if (index == 0 && method == DisposeMethod::Previous) return DisposeMethod::Background;
    return method;
}

}  // namespace framelot
