// The autoplay generator against a small stand-in of the game: modes that follow the
// keys, a camera that follows the mouse offsets, a flight that follows the held keys.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <gtest/gtest.h>
#include <string>
#include <vector>
#include "app/autoplay.h"
#include "core/input_event.h"

namespace
{
void add_button(AutoplayView &v, const char *text, float x, float y, bool enabled = true, bool slot = false)
{
  AutoplayButton &b = v.buttons[v.button_count++];
  snprintf(b.text, sizeof(b.text), "%s", text);
  b.x = x, b.y = y, b.enabled = enabled, b.spell_slot = slot;
}

// The game as far as the generator sees it.
struct FakeGame
{
  AutoplayView v;
  bool held[256] = {};
  float mx = 320.f, my = 180.f;
  bool defeated = false;
  std::vector<std::string> clicked; // the texts of the buttons clicked
  int downs_while_held = 0, outside = 0, alt_keys = 0, slot_clicks = 0, disabled_clicks = 0;
  int island_lost = 0; // Ctrl-G or Ctrl-M while the island's waves are under way

  FakeGame()
  {
    v.mode = AUTOPLAY_PLAY;
    v.pos = vec4f(100.f, 20.f, 100.f, 1.f);
    v.ground = 5.f;
    screen();
  }
  void screen()
  {
    v.button_count = 0;
    if (v.mode == AUTOPLAY_MENU && defeated)
      add_button(v, "New game", 320, 150);
    else if (v.mode == AUTOPLAY_MENU)
    {
      add_button(v, "Resume", 320, 150);
      add_button(v, "Options", 320, 180);
      add_button(v, "Main menu", 320, 210);
      add_button(v, "Quit", 320, 240);
    }
    else if (v.mode == AUTOPLAY_MAIN_MENU)
    {
      add_button(v, "New game", 320, 200);
      add_button(v, "Quit", 320, 260);
    }
    else if (v.mode == AUTOPLAY_PLAY && held[VK_CONTROL])
      for (int k = 0; k < 14; k++)
        add_button(v, k == 1 ? "Fireball" : "spell", 170.f + 44.f * float(k % 7), 150.f + 44.f * float(k / 7), k < 4,
                   true);
  }
  const AutoplayButton *button_at(float x, float y)
  {
    for (int i = 0; i < v.button_count; i++)
      if (std::fabs(v.buttons[i].x - x) < 1.f && std::fabs(v.buttons[i].y - y) < 1.f)
        return &v.buttons[i];
    return nullptr;
  }
  void key(int k)
  {
    if (k == VK_ESCAPE)
    {
      if (v.mode == AUTOPLAY_PLAY)
        v.mode = AUTOPLAY_MENU;
      else if (v.mode == AUTOPLAY_MENU && !defeated)
        v.mode = AUTOPLAY_PLAY;
    }
    else if (k == VK_F9 && (v.mode == AUTOPLAY_PLAY || v.mode == AUTOPLAY_DEV))
      v.mode = v.mode == AUTOPLAY_PLAY ? AUTOPLAY_DEV : AUTOPLAY_PLAY;
    else if (k == VK_F12 && held[VK_CONTROL])
      v.mode = AUTOPLAY_MENU;
  }
  void click(int key, float x, float y)
  {
    const AutoplayButton *b = button_at(x, y);
    if (!b)
      return;
    clicked.push_back(b->text);
    if (b->spell_slot && b->enabled)
      snprintf(v.bar_spell[key == VK_RBUTTON], sizeof(v.bar_spell[0]), "%s", clicked.back().c_str());
    if (b->spell_slot)
      b->enabled ? slot_clicks++ : disabled_clicks++;
    if (!strcmp(b->text, "New game"))
      v.mode = AUTOPLAY_PLAY, defeated = false;
  }
  // One update: the inputs, then a drawn frame's look and a step of flight.
  void apply(const AutoplayInput *in, int n)
  {
    for (int i = 0; i < n; i++)
    {
      const AutoplayInput &e = in[i];
      if (e.x < 0.f || e.y < 0.f || e.x >= float(v.width) || e.y >= float(v.height))
        outside++;
      if (e.key == VK_MENU)
        alt_keys++;
      if (e.kind == IEV_KEY_DOWN || e.kind == IEV_MOUSE_DOWN)
      {
        downs_while_held += held[e.key];
        held[e.key] = true;
        if (e.kind == IEV_KEY_DOWN)
        {
          key(e.key);
          if (held[VK_CONTROL] && (e.key == 'G' || e.key == 'M') && (v.wave > 0 || v.monster))
            island_lost++;
        }
        else
          click(e.key, e.x, e.y);
      }
      else if (e.kind == IEV_KEY_UP || e.kind == IEV_MOUSE_UP)
        held[e.key] = false;
      else if (e.kind == IEV_MOUSE_MOVE)
        mx = e.x, my = e.y;
    }
    if ((v.mode == AUTOPLAY_PLAY || v.mode == AUTOPLAY_DEV) && !held[VK_CONTROL])
    {
      v.yaw -= (mx - 320.f) * v.mouse_sens;
      v.pitch = std::fmax(-1.5f, std::fmin(1.5f, v.pitch - (my - 180.f) * v.mouse_sens));
      mx = 320.f, my = 180.f; // recentred
      const vec4f fwd(-std::sin(v.yaw) * std::cos(v.pitch), std::sin(v.pitch), std::cos(v.yaw) * std::cos(v.pitch), 0.f);
      const float step = held[VK_SHIFT] ? 0.8f : 0.4f;
      if (held['W'])
        v.pos += fwd * step;
      if (held['S'])
        v.pos -= fwd * step;
      if (held[VK_SPACE] || held['E'])
        v.pos.y += step;
      if (held['C'])
        v.pos.y -= step;
      v.pos.y = std::fmax(v.pos.y, v.ground + 0.5f);
    }
    screen();
  }
  void run(Autoplay &a, int updates, std::vector<AutoplayInput> *trace = nullptr)
  {
    AutoplayInput in[AUTOPLAY_MAX_INPUTS];
    for (int u = 0; u < updates; u++)
    {
      const int n = autoplay_step(a, v, in);
      ASSERT_LE(n, AUTOPLAY_MAX_INPUTS);
      if (trace)
        trace->insert(trace->end(), in, in + n);
      apply(in, n);
    }
  }
};

bool same(const std::vector<AutoplayInput> &a, const std::vector<AutoplayInput> &b)
{
  if (a.size() != b.size())
    return false;
  for (size_t i = 0; i < a.size(); i++)
    if (a[i].kind != b[i].kind || a[i].key != b[i].key || a[i].x != b[i].x || a[i].y != b[i].y)
      return false;
  return true;
}
} // namespace

TEST(Autoplay, TheSeedDecidesTheInput)
{
  std::vector<AutoplayInput> t1, t2, t3;
  Autoplay a1, a2, a3;
  autoplay_start(a1, 7);
  autoplay_start(a2, 7);
  autoplay_start(a3, 8);
  FakeGame g1, g2, g3;
  g1.run(a1, 3000, &t1);
  g2.run(a2, 3000, &t2);
  g3.run(a3, 3000, &t3);
  EXPECT_GT(t1.size(), 1000u);
  EXPECT_TRUE(same(t1, t2));
  EXPECT_FALSE(same(t1, t3));
}

// Hours of play in a few seconds: every activity comes up, keys are released before
// they are pressed again and at the end, the mouse stays in the window, and neither Alt
// (Alt-F4 quits) nor "Quit" nor "Main menu" is ever used.
TEST(Autoplay, LongRunsUseEveryActivityAndLetGoOfEveryKey)
{
  for (uint64_t seed : {1u, 2u, 3u})
  {
    Autoplay a;
    autoplay_start(a, seed);
    FakeGame g;
    g.v.pickup = true;
    g.v.pickup_pos = vec4f(160.f, 6.f, 140.f, 1.f);
    g.run(a, 40000);
    for (int i = 0; i < AP_RECOVER; i++)
      EXPECT_GT(a.started[i], 0) << autoplay_activity_name(i) << " never ran, seed " << seed;
    EXPECT_EQ(g.downs_while_held, 0);
    EXPECT_EQ(g.outside, 0);
    EXPECT_EQ(g.alt_keys, 0);
    EXPECT_EQ(g.disabled_clicks, 0);
    EXPECT_GT(g.slot_clicks, 0);
    for (const std::string &c : g.clicked)
      EXPECT_TRUE(c != "Quit" && c != "Main menu") << c;
    EXPECT_NE(std::find(g.clicked.begin(), g.clicked.end(), "Options"), g.clicked.end());
    AutoplayInput in[AUTOPLAY_MAX_INPUTS];
    g.apply(in, autoplay_release_all(a, in));
    for (int k = 0; k < 256; k++)
      EXPECT_FALSE(g.held[k]) << "key " << k << " still held";
  }
}

TEST(Autoplay, FliesThroughTheSpellLyingOnTheIsland)
{
  Autoplay a;
  autoplay_start(a, 5);
  FakeGame g;
  g.v.pickup = true;
  g.v.pickup_pos = vec4f(140.f, 7.f, 60.f, 1.f); // behind and to the side
  a.activity = AP_SEEK;
  a.step = 0;
  a.length = 1 << 30;
  AutoplayInput in[AUTOPLAY_MAX_INPUTS];
  float nearest = 1e9f;
  for (int u = 0; u < 600 && nearest > 3.f; u++)
  {
    g.apply(in, autoplay_step(a, g.v, in));
    vec4f d = g.v.pickup_pos + vec4f(0.f, 1.5f, 0.f, 0.f) - g.v.pos;
    nearest = std::fmin(nearest, std::sqrt(d.x * d.x + d.y * d.y + d.z * d.z));
  }
  EXPECT_LE(nearest, 3.f); // the module's pick-up radius
}

TEST(Autoplay, FindsItsWayBackFromTheDefeatMenuAndTheMainMenu)
{
  for (int start : {AUTOPLAY_MENU, AUTOPLAY_MAIN_MENU, AUTOPLAY_DEV})
  {
    Autoplay a;
    autoplay_start(a, 11);
    FakeGame g;
    g.run(a, 100);
    g.v.mode = start;
    g.defeated = start == AUTOPLAY_MENU; // Escape does nothing there
    g.screen();
    g.clicked.clear();
    int back = -1;
    AutoplayInput in[AUTOPLAY_MAX_INPUTS];
    for (int u = 0; u < 200 && back < 0; u++)
    {
      g.apply(in, autoplay_step(a, g.v, in));
      if (g.v.mode == AUTOPLAY_PLAY)
        back = u;
    }
    EXPECT_GE(back, 0) << "stuck in mode " << start;
    EXPECT_LT(back, 40);
    if (start != AUTOPLAY_DEV)
    {
      EXPECT_EQ(g.clicked, std::vector<std::string>{"New game"});
    }
  }
}

// The island played with nothing but an earth spell on the buttons: the fireball comes
// out of the grid, each monster (one right overhead) is fought down under the
// crosshair, nothing throws the island away meanwhile, and once the portal opens the
// flight goes through it.
TEST(Autoplay, HuntsTheWavesDownAndFliesIntoThePortal)
{
  Autoplay a;
  autoplay_start(a, 4);
  FakeGame g;
  snprintf(g.v.bar_spell[0], sizeof(g.v.bar_spell[0]), "Hill");
  g.v.wave = 1;
  // The first right overhead, the others far off low and high.
  const vec4f lairs[3] = {vec4f(100.f, 50.f, 100.f, 1.f), vec4f(40.f, 12.f, 120.f, 1.f), vec4f(110.f, 45.f, 30.f, 1.f)};
  int killed = 0, hits = 0, through = -1, fired_off_target = 0;
  AutoplayInput in[AUTOPLAY_MAX_INPUTS];
  for (int u = 0; u < 8000 && through < 0; u++)
  {
    g.v.monster = killed < 3;
    if (g.v.monster) // it circles its lair
      g.v.monster_pos = lairs[killed] + vec4f(8.f * std::cos(float(u) * 0.02f), 0.f, 8.f * std::sin(float(u) * 0.02f), 0.f);
    g.v.portal = killed == 3;
    g.v.portal_pos = vec4f(90.f, 11.f, 90.f, 1.f);
    g.apply(in, autoplay_step(a, g.v, in));
    const int fire = !strcmp(g.v.bar_spell[0], "Fireball") ? VK_LBUTTON : !strcmp(g.v.bar_spell[1], "Fireball") ? VK_RBUTTON : 0;
    const vec4f fwd(-std::sin(g.v.yaw) * std::cos(g.v.pitch), std::sin(g.v.pitch), std::cos(g.v.yaw) * std::cos(g.v.pitch), 0.f);
    const vec4f to = g.v.monster_pos - g.v.pos;
    const float dist = std::sqrt(to.x * to.x + to.y * to.y + to.z * to.z);
    if (g.v.monster && fire && g.held[fire] && g.v.mode == AUTOPLAY_PLAY)
    {
      const float off = 1.f - (fwd.x * to.x + fwd.y * to.y + fwd.z * to.z) / dist;
      if (off < 0.01f && dist < 60.f)
        hits++;
      else if (a.activity == AP_HUNT)
        fired_off_target++;
      if (hits >= 40)
        killed++, hits = 0;
    }
    const vec4f p = g.v.portal_pos - g.v.pos;
    if (g.v.portal && std::sqrt(p.x * p.x + p.y * p.y + p.z * p.z) < 3.f)
      through = u;
  }
  EXPECT_EQ(killed, 3);
  EXPECT_GE(through, 0) << "never reached the portal";
  EXPECT_STREQ(g.v.bar_spell[0], "Fireball");
  EXPECT_LT(fired_off_target, 40) << "it fires where the monster is not";
  EXPECT_EQ(g.island_lost, 0);
  EXPECT_GT(a.started[AP_HUNT], 0);
  EXPECT_GT(a.started[AP_PORTAL], 0);
}
