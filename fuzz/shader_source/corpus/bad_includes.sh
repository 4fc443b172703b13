#include "missing.inc"
#include missing
#include ""
#include "self.inc
@@ self.inc
#include "self.inc"
