// The GUI's CPU costs: measuring and recording 1000 distance-field labels, restyling a
// 500-element tree with 50 sheets (all of it, and after one element changed state), and
// routing the mouse through it. No device: batches only record.
#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>
#include "core/paths.h"
#include "ui/dist_font.h"
#include "ui/gui_behaviors.h"
#include "ui/gui_screen.h"
#include "ui/gui_style.h"

namespace
{
bool load_font(DistFont &f)
{
  snprintf(app_path, sizeof(app_path), "%s", ZARNITH_SOURCE_BIN_DIR);
  DynArray<uint8_t> data;
  char page[64];
  return read_whole_file(make_full_path("distfont.txt"), data) &&
         f.parse(reinterpret_cast<const char *>(data.ptr), size_t(data.num), page, sizeof(page));
}

const char *const words[] = {"New game", "Options",      "Quit",          "Fireball (20 mana)", "Land shadows",
                             "Resume",   "Thunderstorm", "Vertical sync", "100 / 100",          "Water source"};

void BM_Labels1000(benchmark::State &st)
{
  static DistFont font;
  if (!font.glyphs.num && !load_font(font))
  {
    st.SkipWithError("no bin/distfont.txt (build gui_assets)");
    return;
  }
  StdRenderBatchState state;
  RenderBatch batch(0x8000);
  for (auto _ : st)
  {
    for (int i = 0; i < 1000; i++)
    {
      const char *t = words[i % 10];
      int n;
      vec4f box = font.calcTextBox(t, -1, &n);
      benchmark::DoNotOptimize(box);
      const float x = float((i * 37) % 1100), y = float((i * 53) % 680);
      font.renderText(batch, vec4f(x, y, x + 180.f, y + 40.f), 0, D3dColor(0xFFFFFFFFu), 24.f, t, -1, 0.f, 4.f, 4.f,
                      2.f, D3dColor(0xC0000000u), &state);
    }
    benchmark::DoNotOptimize(batch.groupCount());
    batch.clear();
  }
  st.SetItemsProcessed(st.iterations() * 1000);
}
BENCHMARK(BM_Labels1000)->Unit(benchmark::kMicrosecond);

// A selector of the kind the module builds: class name, name and states.
struct BenchSel : GuiSelector
{
  const char *cls;
  int name; // -1 any
  uint32_t states;
  BenchSel(const char *c, int n, uint32_t s) : cls(c), name(n), states(s) {}
  bool match(const BaseGuiElement *e) const override;
  int specificity() const override { return (name >= 0 ? 100 : 0) + (states ? 10 : 0) + 1; }
};

struct BenchElem : GuiElement
{
  const char *cls;
  int name;
  BenchElem(const char *c, int n) : cls(c), name(n) {}
  const char *getClassName() const override { return cls; }
  void layout(float, float, float, float, float) override {}
};

bool BenchSel::match(const BaseGuiElement *e) const
{
  auto *b = static_cast<const BenchElem *>(e);
  // Class names are literals: the same pointer when equal, mostly, so that is tried
  // first (as the module's selectors do).
  if ((b->cls != cls && strcmp(b->cls, cls)) || (name >= 0 && b->name != name))
    return false;
  if (!states)
    return true;
  const uint32_t s = (e->isHover() ? 1u : 0u) | (e->isPressed() ? 2u : 0u) | (e->isChecked() ? 4u : 0u);
  return (s & states) == states;
}

struct Value : BaseGuiProperty
{
  vec4f v;
  Value(int slot, float x) : BaseGuiProperty(slot), v(x, 0.f, 0.f, 0.f) {}
  vec4f animValue() const override { return v; }
};

// 10 panels of 49 buttons, labels and checkboxes each (500 elements with the root), and
// 50 sheets over their classes, some names and the hover and checked states.
struct Tree
{
  GuiStyle style;
  BenchElem root{"Root", 0};
  std::vector<BenchElem *> buttons;

  Tree()
  {
    register_std_behaviors();
    const char *classes[] = {"Button", "Label", "Checkbox"};
    for (int p = 0; p < 10; p++)
    {
      auto *panel = new BenchElem("Panel", p);
      root.addChild(panel);
      for (int i = 0; i < 49; i++)
      {
        auto *e = new BenchElem(classes[i % 3], i);
        panel->addChild(e);
        if (i % 3 == 0)
          buttons.push_back(e);
      }
    }
    for (int s = 0; s < 50; s++)
    {
      const char *c = s < 4 ? "Panel" : classes[s % 3];
      const uint32_t states = s % 5 == 1 ? 1u : s % 5 == 2 ? 4u : 0u;
      auto *props = new Value(3 + s % 10, float(s));
      props->next = new Value(14 + s % 8, float(s) * 0.5f);
      if (s % 7 == 0)
        props->next->next = new GuiBehaviorsProperty("solid_box\0button\0");
      style.addSheet(new BenchSel(c, s % 4 == 3 ? s % 49 : -1, states), props);
    }
    style.restyle(&root, true);
  }
};

void BM_RestyleAll500x50(benchmark::State &st)
{
  static Tree t;
  for (auto _ : st)
    t.style.restyle(&t.root, true);
  st.SetItemsProcessed(st.iterations() * 500);
}
BENCHMARK(BM_RestyleAll500x50)->Unit(benchmark::kMicrosecond);

// The usual frame: the pointer moved from one button to the next.
void BM_RestyleHoverChange500x50(benchmark::State &st)
{
  static Tree t;
  size_t i = 0;
  for (auto _ : st)
  {
    t.buttons[i % t.buttons.size()]->setHover(false);
    i++;
    t.buttons[i % t.buttons.size()]->setHover(true);
    t.style.restyle(&t.root, false);
  }
}
BENCHMARK(BM_RestyleHoverChange500x50)->Unit(benchmark::kMicrosecond);
} // namespace

BENCHMARK_MAIN();
