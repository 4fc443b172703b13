#pragma once
#include "core/engine_api.h"

// A mode decides what one simulation step does, how the scene is set up and what is
// drawn over it. The slot order is fixed (the module calls through these).
class ENGINE_API GameMode
{
public:
  virtual void onEnter(GameMode *prev) { (void)prev; }
  virtual void onLeave(GameMode *next) { (void)next; }
  virtual void update(float dt) = 0;        // once per simulation step, dt = the fixed step
  virtual void render(float dt) = 0;        // the scene, dt = time since the last update
  virtual void renderOverlay(float dt) = 0; // after the scene and post-effects
  virtual ~GameMode() = default;
};

// The current mode; null until the end of start-up.
extern ENGINE_API GameMode *cur_game_mode;

// Nothing when mode is current; otherwise onLeave on the old mode, then onEnter on the new.
ENGINE_API void set_game_mode(GameMode *mode);
