#include "autoplay.h"
#include <algorithm>
#include <cmath>
#include <cstring>
#include "core/input_event.h"

// ---------------------------------------------------------------------------------------
// The generator: one activity at a time, each a few seconds of input planned from the
// view it sees. Every key it presses it releases again before the next activity.

namespace
{
constexpr float PI = 3.14159265f;
constexpr int MAX_LOOK_PIXELS = 40; // the largest mouse offset of one update
constexpr int MAX_ACTIVITY_UPDATES = 1200;

uint64_t next_u64(uint64_t &s)
{
  uint64_t z = (s += 0x9e3779b97f4a7c15ull);
  z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
  z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
  return z ^ (z >> 31);
}
float rnd01(Autoplay &a) { return float(next_u64(a.rng) >> 40) / float(1 << 24); }
float rnd(Autoplay &a, float lo, float hi) { return lo + (hi - lo) * rnd01(a); }
int rnd_int(Autoplay &a, int lo, int hi) { return lo + int(next_u64(a.rng) % uint64_t(hi - lo + 1)); }
bool chance(Autoplay &a, float p) { return rnd01(a) < p; }

float wrap_pi(float a)
{
  a = std::fmod(a, 2.f * PI);
  if (a > PI)
    a -= 2.f * PI;
  else if (a < -PI)
    a += 2.f * PI;
  return a;
}

bool is_mouse_button(int key) { return key == VK_LBUTTON || key == VK_RBUTTON || key == VK_MBUTTON; }

// The inputs of one update.
struct Out
{
  Autoplay &a;
  const AutoplayView &v;
  AutoplayInput *in;
  int n = 0;
  float &mx, &my; // where the mouse is after the inputs so far

  void push(int kind, int key, float x, float y)
  {
    if (n < AUTOPLAY_MAX_INPUTS)
      in[n++] = AutoplayInput{kind, key, x, y};
  }
  void down(int key)
  {
    if (a.held[key])
      return;
    a.held[key] = true;
    push(is_mouse_button(key) ? IEV_MOUSE_DOWN : IEV_KEY_DOWN, key, mx, my);
  }
  void up(int key)
  {
    if (!a.held[key])
      return;
    a.held[key] = false;
    push(is_mouse_button(key) ? IEV_MOUSE_UP : IEV_KEY_UP, key, mx, my);
  }
  void hold(int key, bool on) { on ? down(key) : up(key); }
  // Down now, up in the same update: a press the next update sees whole.
  void press(int key)
  {
    down(key);
    up(key);
  }
  void move(float x, float y)
  {
    mx = std::clamp(x, 0.f, float(v.width - 1));
    my = std::clamp(y, 0.f, float(v.height - 1));
    push(IEV_MOUSE_MOVE, 0, mx, my);
  }
  void release_all()
  {
    for (int k = 1; k < 256; k++)
      up(k);
  }
};

// The mouse offset that turns the camera part of the way to (yaw, pitch) in this step.
void look_toward(Out &o, float yaw, float pitch)
{
  const float sens = o.v.mouse_sens > 0.f ? o.v.mouse_sens : 0.002f;
  const float dx = std::clamp(wrap_pi(o.v.yaw - yaw) / sens * 0.3f, -float(MAX_LOOK_PIXELS), float(MAX_LOOK_PIXELS));
  const float dy = std::clamp((o.v.pitch - pitch) / sens * 0.3f, -float(MAX_LOOK_PIXELS), float(MAX_LOOK_PIXELS));
  o.move(float(o.v.width / 2) + std::round(dx), float(o.v.height / 2) + std::round(dy));
  // The drawn frame turns by the offset and puts the mouse back in the middle.
  o.mx = float(o.v.width / 2);
  o.my = float(o.v.height / 2);
}

const AutoplayButton *find_button(const AutoplayView &v, const char *text)
{
  for (int i = 0; i < v.button_count; i++)
    if (v.buttons[i].enabled && !strcmp(v.buttons[i].text, text))
      return &v.buttons[i];
  return nullptr;
}

// Keeps the flight between the floor and the ceiling above the ground.
void keep_height(Out &o, int up_key, int down_key)
{
  const float h = o.v.pos.y - o.v.ground;
  Autoplay &a = o.a;
  if (h < a.climb_floor)
    a.rise_key = up_key;
  else if (h > a.climb_ceiling)
    a.rise_key = down_key;
  else if ((a.rise_key == up_key && h > a.climb_floor + 3.f) || (a.rise_key == down_key && h < a.climb_ceiling - 3.f))
    a.rise_key = 0;
  o.hold(up_key, a.rise_key == up_key);
  o.hold(down_key, a.rise_key == down_key);
}

// Out of a menu: "New game" where the defeat menu offers only that (or in the main
// menu), else Escape (the pause and cheat menus close, the options go back).
void leave_menu(Out &o)
{
  if (const AutoplayButton *b = find_button(o.v, "New game"))
  {
    o.move(b->x, b->y);
    o.press(VK_LBUTTON);
  }
  else
    o.press(VK_ESCAPE);
}

// ---- activities ----

void begin(Autoplay &a, int activity, int length)
{
  a.activity = activity;
  a.step = 0;
  a.length = length;
  a.phase = a.count = 0;
  a.started[activity]++;
}

void fly(Out &o)
{
  Autoplay &a = o.a;
  const AutoplayView &v = o.v;
  if (a.step == 0)
  {
    a.target_yaw = v.yaw + rnd(a, -1.6f, 1.6f);
    a.target_pitch = rnd(a, -0.25f, 0.15f);
    const float r = rnd01(a);
    a.move_key = r < 0.85f ? 'W' : r < 0.9f ? 'S' : 0;
    const float s = rnd01(a);
    a.strafe_key = s < 0.75f ? 0 : s < 0.875f ? 'A' : 'D';
    a.fast = chance(a, 0.3f);
    a.climb_floor = rnd(a, 3.f, 10.f);
    a.climb_ceiling = a.climb_floor + rnd(a, 8.f, 35.f);
    a.phase = a.move_key == 'W' && chance(a, 0.15f); // a dash: W tapped twice
  }
  else if (a.step % 40 == 0)
  {
    a.target_yaw += rnd(a, -0.8f, 0.8f); // a wandering course
    a.target_pitch = std::clamp(a.target_pitch + rnd(a, -0.15f, 0.15f), -0.4f, 0.3f);
  }
  if (a.phase && a.step == 1)
    o.up('W');
  else
    o.hold('W', a.move_key == 'W');
  o.hold('S', a.move_key == 'S');
  o.hold('A', a.strafe_key == 'A');
  o.hold('D', a.strafe_key == 'D');
  o.hold(VK_SHIFT, a.fast);
  keep_height(o, VK_SPACE, 'C');
  look_toward(o, a.target_yaw, a.target_pitch);
}

void seek(Out &o)
{
  Autoplay &a = o.a;
  const AutoplayView &v = o.v;
  if (!v.pickup)
  {
    a.length = a.step; // picked up, or gone with the world
    return;
  }
  const vec4f d = v.pickup_pos - v.pos;
  const float flat = std::sqrt(d.x * d.x + d.z * d.z);
  const float yaw = std::atan2(-d.x, d.z);
  const float pitch = std::clamp(std::atan2(d.y + 1.5f, std::max(flat, 0.5f)), -0.9f, 0.6f);
  o.hold('W', true);
  o.hold(VK_SHIFT, flat > 40.f);
  // Close by the pitch does the steering; far away the flight keeps clear of the land.
  a.climb_floor = 2.f;
  a.climb_ceiling = flat > 30.f ? 40.f : 1e9f;
  keep_height(o, VK_SPACE, 'C');
  look_toward(o, yaw, pitch);
}

void cast(Out &o)
{
  Autoplay &a = o.a;
  const AutoplayView &v = o.v;
  if (a.step == 0)
  {
    o.release_all();
    a.target_yaw = v.yaw + rnd(a, -0.6f, 0.6f);
    a.target_pitch = rnd(a, -0.7f, -0.15f); // the land under the crosshair
    a.count = rnd_int(a, 1, 3);
    a.button = chance(a, 0.5f) ? VK_LBUTTON : VK_RBUTTON;
    a.phase = 0;
    a.length = 1 << 30;
  }
  look_toward(o, a.target_yaw, a.target_pitch);
  switch (a.phase)
  {
  case 0: // aiming
    if ((std::fabs(wrap_pi(v.yaw - a.target_yaw)) < 0.05f && std::fabs(v.pitch - a.target_pitch) < 0.05f) ||
        a.step > 30)
    {
      o.down(a.button);
      a.phase = 1;
      a.length = a.step + rnd_int(a, 1, 12); // held: again as the cooldown allows
    }
    break;
  case 1: // firing
    if (a.step >= a.length)
    {
      o.up(a.button);
      if (--a.count <= 0)
        a.length = a.step + rnd_int(a, 2, 6);
      else
      {
        a.phase = 0;
        a.target_yaw += rnd(a, -0.3f, 0.3f);
        a.target_pitch = std::clamp(a.target_pitch + rnd(a, -0.1f, 0.1f), -0.8f, -0.1f);
        a.length = 1 << 30;
        if (chance(a, 0.3f))
          a.button = a.button == VK_LBUTTON ? VK_RBUTTON : VK_LBUTTON;
      }
    }
    break;
  }
}

// Ctrl opens the spell grid; a click with either button puts a spell on that button.
void choose(Out &o)
{
  Autoplay &a = o.a;
  const AutoplayView &v = o.v;
  if (a.step == 0)
  {
    o.release_all();
    o.down(VK_CONTROL);
    a.button = chance(a, 0.5f) ? VK_LBUTTON : VK_RBUTTON;
    a.length = 1 << 30;
    return;
  }
  if (a.phase == 0 && a.step >= 4)
  {
    const AutoplayButton *pick[40];
    int n = 0;
    for (int i = 0; i < v.button_count; i++)
      if (v.buttons[i].spell_slot && v.buttons[i].enabled)
        pick[n++] = &v.buttons[i];
    if (n)
    {
      const AutoplayButton *b = pick[rnd_int(a, 0, n - 1)];
      o.move(b->x, b->y);
      a.phase = 1;
    }
    else if (a.step > 12)
      a.phase = 2; // no grid came up
  }
  else if (a.phase == 1)
  {
    o.down(a.button);
    a.phase = 2;
  }
  else if (a.phase == 2)
  {
    o.up(a.button);
    a.phase = 3;
    a.length = a.step + rnd_int(a, 2, 10);
  }
  if (a.step + 1 >= a.length)
    o.up(VK_CONTROL);
}

// Escape, a while in the pause menu, sometimes the options and back, Escape.
void pause_menu(Out &o)
{
  Autoplay &a = o.a;
  const AutoplayView &v = o.v;
  if (a.step == 0)
  {
    o.release_all();
    o.press(VK_ESCAPE);
    a.length = 1 << 30;
    a.count = rnd_int(a, 20, 80);
    a.phase = chance(a, 0.4f) ? 1 : 3;
    return;
  }
  if (--a.count > 0)
    return;
  switch (a.phase)
  {
  case 1: // the options
    if (const AutoplayButton *b = find_button(v, "Options"))
    {
      o.move(b->x, b->y);
      o.press(VK_LBUTTON);
      a.phase = 2;
      a.count = rnd_int(a, 20, 50);
    }
    else
    {
      a.phase = 3;
      a.count = 1;
    }
    break;
  case 2: // back from the options
    o.press(VK_ESCAPE);
    a.phase = 3;
    a.count = rnd_int(a, 10, 30);
    break;
  case 3: // resume
    if (v.mode == AUTOPLAY_PLAY)
      a.length = a.step; // done
    else
    {
      leave_menu(o);
      a.count = 20; // and look again
    }
    break;
  }
}

// Ctrl-F12: the cheat menu; one of its controls; Escape.
void cheats(Out &o)
{
  Autoplay &a = o.a;
  const AutoplayView &v = o.v;
  if (a.step == 0)
  {
    o.release_all();
    o.down(VK_CONTROL);
    o.press(VK_F12);
    o.up(VK_CONTROL);
    a.length = 1 << 30;
    a.count = rnd_int(a, 10, 30);
    return;
  }
  if (--a.count > 0)
    return;
  if (a.phase == 0)
  {
    // Every spell only after a while: until then the spells are found on the island.
    const char *want = a.update > 3600 && chance(a, 0.5f) ? "Add all spells" : chance(a, 0.5f) ? "Endless mana" : "Monster waves";
    if (!strcmp(want, "Monster waves") && v.waves_on && (v.wave > 0 || v.monster))
      want = "Endless mana"; // the island under way keeps its waves
    if (const AutoplayButton *b = find_button(v, want))
    {
      o.move(b->x, b->y);
      o.press(VK_LBUTTON);
    }
    a.phase = 1;
    a.count = rnd_int(a, 10, 30);
  }
  else if (v.mode == AUTOPLAY_PLAY)
    a.length = a.step;
  else
  {
    leave_menu(o);
    a.count = 20;
  }
}

void keys(Out &o)
{
  Autoplay &a = o.a;
  if (a.step == 0)
  {
    o.release_all();
    const float r = rnd01(a);
    if (r < 0.4f)
      a.button = 'M'; // monsters on or off
    else if (r < 0.8f)
      a.button = 'N'; // endless mana
    else
      a.button = VK_F1; // the statistics
    // The waves go off only before an island's first, and come back on soon after.
    if (!o.v.waves_on)
      a.button = 'M';
    else if (a.button == 'M' && (o.v.wave > 0 || o.v.monster))
      a.button = 'N';
    if (a.button != VK_F1)
      o.down(VK_CONTROL);
    o.down(a.button);
    a.length = a.button == VK_F1 ? rnd_int(a, 40, 200) : 3; // a look at the statistics, then F1 closes them
  }
  else if (a.step == 1)
  {
    o.up(a.button);
    o.up(VK_CONTROL);
  }
  else if (a.button == VK_F1 && a.step + 1 == a.length)
    o.press(VK_F1);
}

void new_world(Out &o)
{
  if (o.a.step == 0)
  {
    o.release_all();
    o.down(VK_CONTROL);
    o.press('G');
    o.up(VK_CONTROL);
    o.a.length = 4;
  }
}

// F9 into the development mode, a flight with the look around, G or H now and then, F9.
void dev_trip(Out &o)
{
  Autoplay &a = o.a;
  const AutoplayView &v = o.v;
  if (a.step == 0)
  {
    o.release_all();
    o.press(VK_F9);
    a.length = rnd_int(a, 60, 200);
    a.target_yaw = v.yaw + rnd(a, -2.f, 2.f);
    a.target_pitch = rnd(a, -0.5f, 0.2f);
    a.fast = chance(a, 0.4f);
    a.phase = 0;
    a.climb_floor = rnd(a, 5.f, 20.f);
    a.climb_ceiling = a.climb_floor + rnd(a, 10.f, 60.f);
    // The world keys, rarely: a new world only when the last is a while ago.
    const float r = rnd01(a);
    a.count = r < 0.12f && a.update - a.last_new_world > 2400 && v.wave <= 0 && !v.portal ? 'G' : r < 0.2f ? 'H' : 0;
    return;
  }
  if (v.mode != AUTOPLAY_DEV)
  {
    if (a.step > 20)
      a.length = a.step; // F9 did not take us there, or something took us out
    return;
  }
  if (a.step + 1 >= a.length)
  {
    o.release_all();
    o.press(VK_F9);
    return;
  }
  if (a.count && a.step == a.length / 2)
  {
    if (a.count == 'G')
      a.last_new_world = a.update;
    o.press(a.count);
    a.count = 0;
  }
  if (a.step % 50 == 0)
    a.target_yaw += rnd(a, -1.f, 1.f);
  o.hold('W', true);
  o.hold(VK_SHIFT, a.fast);
  keep_height(o, 'E', 'C');
  look_toward(o, a.target_yaw, a.target_pitch);
}

// Back to play from wherever the game went (defeat, the main menu, a mode left open).
void recover(Out &o)
{
  Autoplay &a = o.a;
  const AutoplayView &v = o.v;
  if (a.step == 0)
  {
    o.release_all();
    a.length = 1 << 30;
  }
  if (v.mode == AUTOPLAY_PLAY)
  {
    a.length = a.step;
    return;
  }
  if (a.step % 15 != 1)
    return;
  if (v.mode == AUTOPLAY_DEV)
    o.press(VK_F9);
  else
    leave_menu(o);
}

// The spells that hurt a monster they are aimed at.
bool attack_spell(const char *name) { return !strcmp(name, "Fireball") || !strcmp(name, "Lightning"); }

// Turns toward yaw, pitch a little at a time and reports whether the crosshair is close.
bool aim_at(Out &o, float yaw, float pitch, float slack)
{
  look_toward(o, yaw, pitch);
  return std::fabs(wrap_pi(o.v.yaw - yaw)) < slack && std::fabs(o.v.pitch - pitch) < slack;
}

// Holds Space or C to bring the eye to height y (within a stride either way).
void climb_to(Out &o, float y)
{
  const float dy = y - o.v.pos.y;
  o.hold(VK_SPACE, dy > 1.5f);
  o.hold('C', dy < -1.5f);
}

// At the nearest monster: a mouse button with an attack spell (Fireball put on the left
// one through the grid when neither has one; without it the hunt is off), then closer
// than 30 on the ground but not within 12, a little under it, the button held while the
// crosshair is on it within 60.
void hunt(Out &o)
{
  Autoplay &a = o.a;
  const AutoplayView &v = o.v;
  if (!v.monster)
  {
    a.length = a.step; // the wave is beaten (or gone with the world)
    return;
  }
  if (a.step == 0)
  {
    o.release_all();
    a.length = rnd_int(a, 200, 600);
    a.button = attack_spell(v.bar_spell[0]) ? VK_LBUTTON : attack_spell(v.bar_spell[1]) ? VK_RBUTTON : 0;
    a.phase = a.button ? 3 : 0;
  }
  switch (a.phase)
  {
  case 0: // no attack spell at hand: the grid, and a few updates for it to open
    o.down(VK_CONTROL);
    if (a.step >= 4)
    {
      if (const AutoplayButton *b = find_button(v, "Fireball"))
      {
        o.move(b->x, b->y);
        a.phase = 1;
      }
      else if (a.step > 12)
      {
        o.up(VK_CONTROL); // no grid, or no fireball in it: nothing to fight with
        a.length = a.step;
      }
    }
    return;
  case 1:
    o.down(VK_LBUTTON);
    a.phase = 2;
    return;
  case 2:
    o.up(VK_LBUTTON);
    o.up(VK_CONTROL);
    a.button = VK_LBUTTON;
    a.phase = 3;
    return;
  default: break;
  }
  const vec4f d = v.monster_pos - v.pos;
  const float flat = std::sqrt(d.x * d.x + d.z * d.z);
  const float dist = std::sqrt(flat * flat + d.y * d.y);
  const float yaw = std::atan2(-d.x, d.z);
  const float pitch = std::clamp(std::atan2(d.y, std::max(flat, 0.5f)), -1.45f, 1.45f);
  const bool on_it = aim_at(o, yaw, pitch, 0.12f);
  // Right over or under it the aim turns wild: back off to see it at an angle.
  const bool back = flat < 12.f || std::fabs(pitch) > 0.9f;
  o.hold('W', flat > 30.f && !back);
  o.hold(VK_SHIFT, flat > 45.f && !back);
  o.hold('S', back);
  climb_to(o, std::max(v.monster_pos.y - 4.f, v.ground + 4.f));
  o.hold(a.button, on_it && dist < 60.f);
}

// Straight at the open portal, dashing while it is far.
void to_portal(Out &o)
{
  Autoplay &a = o.a;
  const AutoplayView &v = o.v;
  if (!v.portal)
  {
    a.length = a.step; // through it
    return;
  }
  if (a.step == 0)
  {
    o.release_all();
    a.length = rnd_int(a, 300, 900);
  }
  const vec4f d = v.portal_pos - v.pos;
  const float flat = std::sqrt(d.x * d.x + d.z * d.z);
  const bool ahead = aim_at(o, std::atan2(-d.x, d.z), std::clamp(std::atan2(d.y, std::max(flat, 0.5f)), -1.2f, 1.2f), 0.3f);
  o.hold('W', ahead);
  o.hold(VK_SHIFT, ahead && flat > 20.f);
  climb_to(o, std::max(v.portal_pos.y, v.ground + 3.f));
}

// The activity the view allows and the dice choose.
int choose_next(Autoplay &a, const AutoplayView &v)
{
  if (v.mode != AUTOPLAY_PLAY)
    return AP_RECOVER;
  // The game first, mostly: the portal, the monsters, the waves back on.
  if (v.portal && chance(a, 0.85f))
    return AP_PORTAL;
  if (v.monster && chance(a, 0.75f))
    return AP_HUNT;
  if (!v.waves_on && chance(a, 0.5f))
    return AP_KEYS;
  static const int weight[AP_RECOVER] = {30, 18, 26, 10, 4, 2, 3, 1, 3, 4};
  int w[AP_RECOVER];
  int total = 0;
  for (int i = 0; i < AP_RECOVER; i++)
  {
    w[i] = weight[i];
    if (i == AP_SEEK && !v.pickup)
      w[i] = 0;
    // A new world (~3 s on a software renderer) at most every two minutes, and not
    // while the island's waves are under way.
    if (i == AP_NEWWORLD && (a.update - a.last_new_world < 2400 || v.wave > 0 || v.portal))
      w[i] = 0;
    total += w[i];
  }
  int r = rnd_int(a, 0, total - 1);
  for (int i = 0; i < AP_RECOVER; i++)
    if ((r -= w[i]) < 0)
      return i;
  return AP_FLY;
}

// The activities that are carried out in play and end when the game leaves it.
bool needs_play(int activity)
{
  return activity <= AP_CHOOSE || activity == AP_KEYS || activity == AP_IDLE || activity == AP_HUNT ||
         activity == AP_PORTAL;
}
} // namespace

void autoplay_start(Autoplay &a, uint64_t seed)
{
  a = Autoplay{};
  a.rng = seed ^ 0x5a4e525448ull;
  a.last_new_world = -100000;
  begin(a, AP_IDLE, 20); // the first second: the game settles
}

int autoplay_step(Autoplay &a, const AutoplayView &v, AutoplayInput *out)
{
  if (a.mouse_x < 0.f)
    a.mouse_x = float(v.width / 2), a.mouse_y = float(v.height / 2);
  Out o{a, v, out, 0, a.mouse_x, a.mouse_y};
  a.update++;
  // The game left play under a play activity (defeat, a portal into the main menu):
  // let go and find the way back.
  if (needs_play(a.activity) && v.mode != AUTOPLAY_PLAY)
  {
    o.release_all();
    begin(a, AP_RECOVER, 1 << 30);
  }
  // A menu that never lets go, a mode that never comes: after a minute, start over.
  if (a.step >= a.length || (a.step > MAX_ACTIVITY_UPDATES && a.activity != AP_RECOVER))
  {
    o.release_all();
    const int next = choose_next(a, v);
    begin(a, next, next == AP_IDLE ? rnd_int(a, 20, 100) : rnd_int(a, 60, 240));
    if (next == AP_NEWWORLD)
      a.last_new_world = a.update;
  }
  switch (a.activity)
  {
  case AP_FLY: fly(o); break;
  case AP_SEEK: seek(o); break;
  case AP_CAST: cast(o); break;
  case AP_CHOOSE: choose(o); break;
  case AP_PAUSE: pause_menu(o); break;
  case AP_CHEATS: cheats(o); break;
  case AP_KEYS: keys(o); break;
  case AP_NEWWORLD: new_world(o); break;
  case AP_DEV: dev_trip(o); break;
  case AP_RECOVER: recover(o); break;
  case AP_HUNT: hunt(o); break;
  case AP_PORTAL: to_portal(o); break;
  default: break; // idle
  }
  a.step++;
  return o.n;
}

int autoplay_release_all(Autoplay &a, AutoplayInput *out)
{
  AutoplayView v;
  Out o{a, v, out, 0, a.mouse_x, a.mouse_y};
  o.release_all();
  return o.n;
}

const char *autoplay_activity_name(int activity)
{
  static const char *const names[AP_COUNT] = {"fly",     "seek", "cast", "choose", "pause", "cheats",
                                              "keys",    "new world", "dev", "idle", "recover",
                                              "hunt",    "portal"};
  return activity >= 0 && activity < AP_COUNT ? names[activity] : "?";
}
