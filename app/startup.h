#pragma once
#include "core/engine_api.h"

// The spine of the program: start-up in its fixed order, the loop, and the shutdown
// sequence that the normal end, quit_game and fatal all run.

// The entry: returns the process's exit code (0 after a normal end, 1 when SDL cannot
// start); quit_game and fatal end the process themselves.
int app_main(int argc, char **argv);

struct DeviceHooks;

// The terrain renderer and the module's passes into the scene pipeline (before
// init_scene_render).
void install_scene_hooks();
// What the render device calls: draw_frame, on_d3d_resize and the text renderer's splash.
DeviceHooks shell_device_hooks();

// The second half of start-up (after the device and the font exist).
void init_systems();
// The subsystem part of the shutdown sequence.
void close_systems();
// The whole shutdown sequence, from "closing..." to "closed all systems". Runs once;
// every step tolerates a subsystem that never started.
void shutdown_sequence();

// Runs the shutdown sequence and ends the process with code. For the game-object module.
[[noreturn]] ENGINE_API void quit_game(int code);

// One simulation step.
void update_game(float dt);
// The frame's drawing, called by the device layer between the begin and end of the scene.
void draw_frame(float dt);
// Once a second: swap in a rebuilt module, reload changed scripts.
void check_file_changes();
// Called by the device after a successful reset, to rebuild what depends on the size.
void on_d3d_resize();
