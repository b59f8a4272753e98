#include "core/AppState.h"

namespace KestrelMain {

AppStateRecord AppState;

}  // namespace KestrelMain
