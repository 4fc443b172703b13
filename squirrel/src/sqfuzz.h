// The fuzz harnesses' header. The instruction budget they set is part of the
// public API (sq_setinstructionlimit in squirrel.h).
#pragma once
#include "squirrel.h"
