#include <gtest/gtest.h>
#include "gameobj/gameobj_host.h"

namespace
{
int updates = 0;
float last_dt = 0.f;

TEST(GameObjCall, CallsOnlyABoundFunction)
{
  gameobj_api = GameObjFuncs();
  updates = 0;
  gameobj_call(&GameObjFuncs::update_gameobj, 0.05f); // unbound: nothing happens
  EXPECT_EQ(updates, 0);
  EXPECT_FALSE(gameobj_call(&GameObjFuncs::update_spells_ui_mouse));
  EXPECT_EQ(gameobj_call(&GameObjFuncs::get_local_player), nullptr);
  EXPECT_EQ(gameobj_call_or(7.f, &GameObjFuncs::get_land_height, 1.f, 2.f), 7.f);

  gameobj_api.update_gameobj = [](float dt) {
    updates++;
    last_dt = dt;
  };
  gameobj_api.get_land_height = [](float x, float z) { return x * 10.f + z; };
  gameobj_call(&GameObjFuncs::update_gameobj, 0.05f);
  EXPECT_EQ(updates, 1);
  EXPECT_EQ(last_dt, 0.05f);
  EXPECT_EQ(gameobj_call_or(7.f, &GameObjFuncs::get_land_height, 1.f, 2.f), 12.f);
  gameobj_api = GameObjFuncs();
}
} // namespace
