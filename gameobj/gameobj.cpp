#include "gameobj.h"

#define GAMEOBJ_DEFINE_LIST(cls) DynArray<GameObj *> cls##_list;
GAMEOBJ_LISTS(GAMEOBJ_DEFINE_LIST)
#undef GAMEOBJ_DEFINE_LIST

#define GAMEOBJ_COUNT_LIST(cls) +1
static_assert(0 GAMEOBJ_LISTS(GAMEOBJ_COUNT_LIST) == GAMEOBJ_LIST_COUNT);
#undef GAMEOBJ_COUNT_LIST

GameObj *local_player = nullptr;
bool should_close_game_menu = false;

GameObj::~GameObj() = default;
const char *GameObj::getClassName() const { return "GameObj"; }
vec4f GameObj::getPos() const { return pos; }
void GameObj::setPos(const vec4f &p) { pos = p; }
void GameObj::move(float, float, const vec4f &, const Matrix44 &, int) {}
void GameObj::onWorldRemoved() {}
void GameObj::onWorldGenerated() {}
