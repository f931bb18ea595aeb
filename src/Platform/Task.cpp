// Task.h is header-only; this unit keeps the library non-empty and checks that the header stands alone.
#include "Platform/Task.h"
#include "Platform/Async.h"
#include "Platform/Observable.h"
