local w = {}.weakref(); local c = clone [1,[2]]; delete getroottable().print;
