#pragma once
#include "core/engine_api.h"
#include "core/vec4f.h"
#include "game_mode.h"

// The four modes of the program. Each has one static instance.

class ENGINE_API MainMenuMode : public GameMode
{
public:
  void onEnter(GameMode *prev) override;
  void onLeave(GameMode *next) override;
  void update(float dt) override;
  void render(float dt) override;
  void renderOverlay(float dt) override;
};

class ENGINE_API PlayGameMode : public GameMode
{
public:
  void onEnter(GameMode *prev) override;
  void update(float dt) override;
  void render(float dt) override;
  void renderOverlay(float dt) override;
};

class ENGINE_API DevGameMode : public GameMode
{
public:
  void onEnter(GameMode *prev) override;
  void update(float dt) override;
  void render(float dt) override;
  void renderOverlay(float dt) override;
};

class ENGINE_API GameMenuMode : public GameMode
{
public:
  GameMode *returnMode = nullptr; // the mode to go back to when the menu closes

  void onEnter(GameMode *prev) override;
  void onLeave(GameMode *next) override;
  void update(float dt) override;
  void render(float dt) override;
  void renderOverlay(float dt) override;
};

extern ENGINE_API MainMenuMode *main_menu_mode;
extern ENGINE_API PlayGameMode *play_mode;
extern ENGINE_API DevGameMode *dev_mode;
extern ENGINE_API GameMenuMode *game_menu_mode;

// Generates the main-menu world and enters the main menu.
ENGINE_API void go_to_main_menu();

// The main-menu flight's steering state (all 0 on entering the main menu).
struct MenuFlightState
{
  float yaw_target, prev_yaw_target;
  float pitch_target, prev_pitch_target;
  float yaw_rate, pitch_rate;
  float time;
};
extern MenuFlightState menu_flight;

// The help texts of draw_frame.
extern const char *const dev_help_text;
extern const char *const play_help_text;
// The text for the current mode.
const char *cur_help_text();

// The sun's angle from the vertical in whole degrees, for the development readout.
int sun_angle_degrees(vec4f sun_dir);

// Pieces of the mode updates, exposed for tests.
void handle_common_keys();
void handle_dev_keys();
void world_step(float dt);
// The view set-up of the modes' render (t = update_fraction(dt)) and the scene drawing.
void setup_view_and_draw(float dt);

// The erosion run of the R key: 92160 droplets, the land then morphs toward the result.
void erode_land_from_key();
