#pragma once
// Marks what the game-object module may link against. The executable is built with
// exported symbols (-rdynamic); the macro documents the boundary and keeps the symbol
// visible should the program ever be built with hidden visibility.
#define ENGINE_API __attribute__((visibility("default")))
