#pragma once
#include "core/engine_api.h"

struct SDL_Window;
union SDL_Event;
struct SDL_Keysym;

// The one window of the program; null until create_main_window succeeded. The render
// device attaches its OpenGL context to it (the window is created OPENGL | RESIZABLE).
extern ENGINE_API SDL_Window *main_window;
extern const char *const app_window_class; // "ZarnithWindow", the WM class

// Starts SDL's video. On failure prints SDL's reason to stderr and returns false.
bool init_platform();
// Creates the window for the requested client size (0 = not requested: maximised on the
// work area) or full screen, and replaces a zero width/height with the client size.
// False when SDL cannot create it (SDL_GetError says why).
bool create_main_window(bool fullscreen, int &width, int &height);
// Destroys the window and stops SDL; safe when nothing was started.
void close_platform();

// Pumps every pending event: SDL_QUIT sets the loop's quit flag, the rest go to
// window_proc; then the mouse-over state and the cursor visibility are brought up to date.
void process_window_messages();
void window_proc(const SDL_Event &e);
// Takes only the quit requests (SDL_QUIT) out of the queue and leaves every other event
// for the next process_window_messages: recorded and replayed sessions take their input
// once per update, never between two.
void process_quit_messages();
// Drops the keyboard and mouse events that wait in the queue (a replay's real input).
void discard_input_messages();

// Toggles between the window and full screen (Alt-Enter).
ENGINE_API void set_fullscreen(bool on);
// Confines the cursor to the window, or releases it.
void clip_cursor(bool on);

ENGINE_API void sleep_msec(int ms);

// The program's key code for an SDL key: letters and digits from the layout's key
// symbol, everything else by its physical position. 0 for keys without a code.
int sdl_key_to_vk(const SDL_Keysym &ks);
