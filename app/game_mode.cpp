#include "game_mode.h"

GameMode *cur_game_mode = nullptr;

void set_game_mode(GameMode *mode)
{
  if (mode == cur_game_mode)
    return;
  GameMode *prev = cur_game_mode;
  if (prev)
    prev->onLeave(mode);
  cur_game_mode = mode;
  if (mode)
    mode->onEnter(prev);
}
