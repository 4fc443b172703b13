// The way to the next island: the portal opens once the rules say the island is won;
// flying into it, or casting the use-portal spell while it is open, makes the next
// "game" world (the generator goes on from where it is, so the island is a new one).
// The player object and the spell grid stay, and so do his spells.
import game.island_util

void portal_fx(vec4f pos, vec4f facing, float dt); // fx/effects.ls

static bool travel_requested = false;

// The world cannot be replaced while the objects are being updated: the move happens
// at the end of the step (finish_portal_travel).
void request_world_travel() { travel_requested = true; }

WorldPortal *open_world_portal()
{
  if (!WorldPortal_list.empty())
    return static_cast<WorldPortal *>(WorldPortal_list[0]);
  vec4f at(ISLAND_CENTRE, 0.f, ISLAND_CENTRE, 1.f);
  if (local_player)
  {
    // Near the player, where he sees it open.
    at = local_player->getPos() + vec4f(0.f, 0.f, 25.f, 0.f);
  }
  at.x = wrap_world_coord(at.x);
  at.z = wrap_world_coord(at.z);
  at.y = land_or_water_height(at.x, at.z) + 6.f;
  auto *p = static_cast<WorldPortal *>(new_gameobj_by_id(40));
  p->setPos(at);
  debug("world portal open at %.0f, %.0f", at.x, at.z);
  GameEventField where[] = {{"x", nullptr, at.x}, {"z", nullptr, at.z}};
  send_game_event_fields("portal_opened", where, 2);
  return p;
}

void WorldPortal::update(float dt)
{
  age += dt;
  pos.y = land_or_water_height(pos.x, pos.z) + 6.f;
  portal_fx(pos, vec4f(0.f, 0.f, 1.f, 0.f), dt);
  if (local_player && age > 0.5f && wrapped_dist(local_player->getPos(), pos) < radius)
    request_world_travel();
}

// The use-portal spell (game/combat.ls declares it).
void use_world_portal()
{
  if (WorldPortal_list.empty())
  {
    debug("no portal is open");
    return;
  }
  request_world_travel();
}

void finish_portal_travel()
{
  if (!travel_requested)
    return;
  travel_requested = false;
  debug("through the portal to the next island");
  generate_world("game");
}
