#pragma once
// Moved to the public headers; kept so that includes of the old path still compile.
#include "tzsndmsg/db/Recordset.h"
