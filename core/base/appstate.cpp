#include "core/base/appstate.h"

namespace Sveltra {

ApplicationState &App()
{
    static ApplicationState state;
    return state;
}

} // namespace Sveltra
