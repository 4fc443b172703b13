#include "render/sky.h"
#include <cmath>
#include <cstring>
#include "core/angles.h"
#include "core/log.h"
#include "core/matrix44.h"
#include "core/temp_string.h"
#include "render/buffers.h"
#include "render/device.h"
#include "render/shader_registers.h"
#include "render/shaders.h"
#include "script/sq_reloadable_vm.h"
#include "script/sqbind.h"

using sqbind::SquirrelError;

vec4f sun_dir, sun_dir_prev, sun_dir_drawn;
vec4f sky_colors[SKY_SCRIPT_COLORS];
vec4f sky_colors_prev[SKY_SCRIPT_COLORS];
vec4f sky_colors_drawn[SKY_DRAWN_COLORS];
float sky_extra_light = 0.9396926f;

namespace
{
const char *const sky_error_prefix = "Error in sky script:\n";
SqReloadableVM sky_vm;
// Root-table slot "get_sky_colors"; null when missing or not a function.
sqbind::SqFunc<sqbind::SqObject> sky_func;
// True while the latest reload of the script files failed: its error stays on the strip
// even though the old function still answers.
bool sky_files_broken = false;
VDecl sky_decl = nullptr;
VertexBuffer *sky_vb = nullptr;
IndexBuffer *sky_ib = nullptr;
Shader *sky_shader = nullptr;

const vec4f default_table[SKY_SCRIPT_COLORS] = {
  {1.f, 1.f, 1.f, 0.f}, {0.f, 0.f, 0.f, 0.f},       {0.45f, 0.15f, 0.06f, 0.f}, {0.f, 0.f, 0.f, 0.f},
  {1.f, 0.f, 0.f, 0.f}, {0.346021f, 0.f, 0.f, 0.f}, {1.f, 0.f, 0.f, 0.f},       {3.f, 6.f, 15.f, 0.f},
  {2.f, 0.f, 0.f, 0.f}, {2.f, 0.f, 0.f, 0.f},
};

void lookup_sky_func()
{
  sky_func.release();
  if (!sky_vm.vm)
    return;
  HSQUIRRELVM vm = sky_vm.vm;
  sq_pushroottable(vm);
  sqbind::SqObject root;
  root.fromStack(vm, -1);
  sq_poptop(vm);
  sky_func.bind(vm, root, "get_sky_colors");
  const SQObjectType t = sky_func.func.type();
  if (t != OT_CLOSURE && t != OT_NATIVECLOSURE)
    sky_func.release();
}

// One number of an entry; integers are accepted as well.
float read_number(HSQUIRRELVM vm, SQInteger idx)
{
  SQFloat f;
  if (SQ_FAILED(sq_getfloat(vm, idx, &f)))
    throw SquirrelError("get_sky_colors: colour components must be numbers");
  if (!std::isfinite(f))
    throw SquirrelError("get_sky_colors: colour components must be finite");
  return float(f);
}

// Calls the script with the angle and reads its ten [r, g, b] entries.
void call_sky_func(float angle, vec4f out[SKY_SCRIPT_COLORS])
{
  const sqbind::SqObject result = sky_func(angle);
  HSQUIRRELVM vm = sky_vm.vm;
  sqbind::StackRestore restore(vm, sq_gettop(vm));
  result.push(vm);
  if (sq_gettype(vm, -1) != OT_ARRAY || sq_getsize(vm, -1) != SKY_SCRIPT_COLORS)
    throw SquirrelError("get_sky_colors must return an array of 10 colours");
  SQInteger arr = sq_gettop(vm);
  for (int i = 0; i < SKY_SCRIPT_COLORS; i++)
  {
    sq_pushinteger(vm, i);
    if (SQ_FAILED(sq_rawget(vm, arr)) || sq_gettype(vm, -1) != OT_ARRAY || sq_getsize(vm, -1) != 3)
      throw SquirrelError("get_sky_colors: every colour must be an array [r, g, b]");
    SQInteger entry = sq_gettop(vm);
    float c[3];
    for (int k = 0; k < 3; k++)
    {
      sq_pushinteger(vm, k);
      if (SQ_FAILED(sq_rawget(vm, entry)))
        throw SquirrelError("get_sky_colors: every colour must be an array [r, g, b]");
      c[k] = read_number(vm, -1);
      sq_poptop(vm);
    }
    out[i] = vec4f(c[0], c[1], c[2], 0.f);
    sq_poptop(vm);
  }
}

// A zero vector stays zero; anything else gets unit length, w = 0.
vec4f unit_dir(vec4f d)
{
  d.w = 0.f;
  float l = length3(d);
  return l > 0.f ? d / l : vec4f(0.f);
}

void copy_table_to_drawn()
{
  for (int i = 0; i < SKY_SCRIPT_COLORS; i++)
    sky_colors_drawn[i] = sky_colors_prev[i] = sky_colors[i];
  derive_sky_colors(sky_colors_drawn);
}
} // namespace

void get_default_sky_colors(vec4f out[SKY_SCRIPT_COLORS])
{
  for (int i = 0; i < SKY_SCRIPT_COLORS; i++)
    out[i] = default_table[i];
}

void derive_sky_colors(vec4f t[SKY_DRAWN_COLORS])
{
  const vec4f c2 = t[2];
  for (int k = 0; k < 4; k++)
  {
    t[10][k] = std::exp(-c2[k] / 0.2f);
    t[11][k] = std::exp(-c2[k]);
  }
}

void compute_sky_colors(vec4f dir, vec4f out[SKY_SCRIPT_COLORS])
{
  float y = dir.y < -1.f ? -1.f : (dir.y > 1.f ? 1.f : dir.y);
  float angle = std::acos(y) * float(RAD_TO_DEG);
  if (!sky_vm.vm || sky_func.isNull())
  {
    get_default_sky_colors(out);
    return;
  }
  vec4f table[SKY_SCRIPT_COLORS];
  try
  {
    call_sky_func(angle, table);
  }
  catch (const SquirrelError &e)
  {
    // The error strip rather than a message box: the developer mode asks for a table
    // every frame while the sun is dragged, and the game must go on. The same text is
    // set only once.
    TempString<1024> text = TempString<1024>::printf("Error in sky script:\n%s", e.msg ? e.msg : "unknown error");
    const char *cur = get_error_message();
    if (!cur || strcmp(cur, text) != 0)
      set_error_message(text);
    get_default_sky_colors(out);
    return;
  }
  // A working script takes its own earlier error off the strip.
  const char *cur = get_error_message();
  if (cur && !sky_files_broken && strncmp(cur, sky_error_prefix, strlen(sky_error_prefix)) == 0)
    set_error_message(nullptr);
  for (int i = 0; i < SKY_SCRIPT_COLORS; i++)
    out[i] = table[i];
}

void init_sky()
{
  sun_dir_drawn = unit_dir(vec4f(0.f, 1.f, 3.f, 0.f));
  sky_extra_light = std::cos(0.3490658f);
  sun_dir = sun_dir_prev = sun_dir_drawn;

  const VsdElement decl[] = {vsd_element(0, 0, VSDT_FLOAT3, VSDU_POSITION, 0), vsd_end()};
  sky_decl = create_vdecl(decl);
  sky_vb = create_vb(4 * 3 * sizeof(float), 0);
  sky_ib = create_ib(6, BUF_STATIC);
  uint16_t *ip = sky_ib ? (uint16_t *)lock_ib(sky_ib, 0, 0) : nullptr;
  if (!ip)
    fatal("%s(%d): failed ASSERT(%s)", "sky", __LINE__, "ip");
  const uint16_t idx[6] = {0, 2, 1, 1, 2, 3};
  for (int i = 0; i < 6; i++)
    ip[i] = idx[i];
  unlock_ib(sky_ib);
  sky_shader = create_shader("sky.sh", "");

  if (!sky_vm.init(1024))
    fatal("error creating sky script VM");
  if (!sky_vm.load_file("sky.nut"))
    fatal("error in sky script");

  lookup_sky_func();
  compute_sky_colors(sun_dir_drawn, sky_colors);
  copy_table_to_drawn();
}

void close_sky()
{
  sky_func.release();
  sky_files_broken = false;
  sky_vm.close();
  sky_vm.files.clear();
  if (sky_vb)
    release_vb(sky_vb);
  if (sky_ib)
    release_ib(sky_ib);
  sky_vb = nullptr;
  sky_ib = nullptr;
  if (sky_shader)
    destroy_shader(sky_shader);
  sky_shader = nullptr;
  sky_decl = nullptr;
}

void set_sun_dir(vec4f dir, bool smooth)
{
  sun_dir = unit_dir(dir);
  compute_sky_colors(sun_dir, sky_colors);
  if (!smooth)
  {
    copy_table_to_drawn();
    sun_dir_prev = sun_dir_drawn = sun_dir;
  }
}

void step_sky()
{
  for (int i = 0; i < SKY_SCRIPT_COLORS; i++)
    sky_colors_prev[i] = sky_colors[i];
  sun_dir_prev = sun_dir;
}

void update_sky(float t)
{
  sun_dir_drawn = unit_dir(sun_dir_prev + (sun_dir - sun_dir_prev) * t);
  for (int i = 0; i < SKY_SCRIPT_COLORS; i++)
    sky_colors_drawn[i] = sky_colors_prev[i] + (sky_colors[i] - sky_colors_prev[i]) * t;
  derive_sky_colors(sky_colors_drawn);
}

void reload_sky_if_changed()
{
  if (!sky_vm.vm || !sky_vm.files_changed())
    return;
  if (!sky_vm.reload(false))
  {
    // The old function (if the broken file left it) and the old colours stay.
    TempString<1024> text = TempString<1024>::printf("Error in sky script:\n%s", sqbind::last_error(sky_vm.vm));
    set_error_message(text);
    sky_files_broken = true;
    return;
  }
  sky_files_broken = false;
  lookup_sky_func();
  compute_sky_colors(sun_dir_drawn, sky_colors);
  copy_table_to_drawn();
}

// The light vector and the drawn colours, as both stages read them.
static_assert(PC_SKY_COUNT == 1 + SKY_DRAWN_COLORS && VC_SKY_COUNT == 1 + SKY_DRAWN_COLORS);
static void sky_registers(vec4f (&c)[1 + SKY_DRAWN_COLORS])
{
  c[0] = vec4f(sun_dir_drawn.x, sun_dir_drawn.y, sun_dir_drawn.z, sky_extra_light);
  for (int i = 0; i < SKY_DRAWN_COLORS; i++)
    c[1 + i] = sky_colors_drawn[i];
}

void set_sky_ps_consts(int first)
{
  vec4f c[1 + SKY_DRAWN_COLORS];
  sky_registers(c);
  set_ps_consts(first, &c[0].x, 1 + SKY_DRAWN_COLORS);
}

void set_sky_vs_consts(int first)
{
  vec4f c[1 + SKY_DRAWN_COLORS];
  sky_registers(c);
  set_vs_consts(first, &c[0].x, 1 + SKY_DRAWN_COLORS);
}

void render_sky()
{
  if (!sky_vb || !sky_shader)
    return;
  // The camera's world matrix is the inverse of the device's view matrix.
  Matrix44 view, itm;
  get_view_tm(view);
  if (!inverse44(view, itm))
    itm = Matrix44::identity();
  vec4f right = itm.row(0), up = itm.row(1), fwd = itm.row(2), pos = itm.row(3);
  float aspect = d3d_ht > 0 ? float(d3d_wd) / float(d3d_ht) : 1.f;

  float *vp = (float *)lock_vb(sky_vb, 0, 0);
  if (!vp)
    fatal("%s(%d): failed ASSERT(%s)", "sky", __LINE__, "vp");
  for (int i = 0; i < 4; i++)
  {
    float sx = ((i & 1) ? 10.f : -10.f) * aspect;
    float sy = (i & 2) ? 10.f : -10.f;
    vec4f v = pos + fwd * 10.f + right * sx + up * sy;
    vp[i * 3 + 0] = v.x;
    vp[i * 3 + 1] = v.y;
    vp[i * 3 + 2] = v.z;
  }
  unlock_vb(sky_vb);

  set_vdecl(sky_decl);
  set_vb(0, sky_vb, 0, 12);
  set_ib(sky_ib);
  set_shader(sky_shader);
  set_sky_ps_consts(PC_SKY);
  draw_indexed(D3DPT_TRIANGLELIST, 0, 0, 4, 0, 2);
}
