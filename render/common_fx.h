#pragma once
// The common effects: two pools of camera-facing particles ("blend": smoke, dust, water,
// drawn over the scene and darkening it; "glow": fire, sparks, light, added to it), ribbon
// trails that follow moving things, and lightning bolts. The effects script and the
// game-object module spawn them; the world step advances them (update_common_fx, at the
// fixed update rate) and the scene pipeline draws them last (render_common_fx),
// interpolating between the last two updates.
//
// Positions are world positions. The world wraps every 256 units in x and z: whatever is
// drawn is moved to the copy nearest the camera, and the points of one trail or bolt are
// kept next to each other.
//
// Lifetime: init_common_fx at scene set-up (after init_scene_render), close_common_fx
// at shut-down (safe when init never ran). The simulation (add_*, update, reset) works
// without a device, so tools and tests can drive it alone.
#include <cstdint>
#include "core/d3dcolor.h"
#include "core/dyn_array.h"
#include "core/engine_api.h"
#include "core/vec4f.h"

struct ColorRamp;
struct FloatRamp;

constexpr int MAX_TRAILS = 4000;
constexpr int TRAIL_POINTS = 16;       // ring size of one trail
constexpr int FX_POOL_RESERVE = 10000; // particles reserved per pool by a reset
constexpr int FX_BOLT_MAX_POINTS = 4096;
// The atlases' size in texels: sprite positions and cells are given in these units.
constexpr float FX_ATLAS_W = 512.f, FX_ATLAS_H = 256.f;

struct FxParticle
{
  vec4f pos;    // position at the next update (w unused)
  vec4f vel;    // xyz velocity, w = drag coefficient
  vec4f acc;    // xyz acceleration, w = change of the drag per second
  vec4f prev;   // position at the last update
  float life;   // seconds of visible life; > 0 alive, -1 free
  float age;    // seconds since birth; starts at -delay, so negative until born
  int nextFree; // while free: index of the next free record, -1 at the end
  float size;   // half the sprite's width in world units
  D3dColor color;
  float u, v;                     // centre of the sprite in the atlas, in [0, 1]
  float halfCell;                 // half the sprite's cell in atlas texels
  float rotation, rotationAmount; // angle = rotation + rotationAmount * rotation ramp
  // Optional, read over the life time; the caller keeps them alive while the particle is.
  const ColorRamp *colorRamp;
  const FloatRamp *sizeRamp;
  const FloatRamp *rotationRamp;

  bool isAlive() const { return life > 0.f; }
};
static_assert(sizeof(FxParticle) == 128, "particles are two cache lines");

// A growable array of particles with a free list threaded through its dead records, so
// adding and removing are O(1); the array never shrinks, records keep their index.
struct FxPool
{
  DynArray<FxParticle> parts;
  int firstFree = -1; // -1: none, the next particle is appended
  int alive = 0;      // records with life > 0
};

struct FxTrailPoint
{
  vec4f pos, prev; // as for particles: next and last update
  vec4f side;      // half-width offset of the ribbon at this point
  vec4f vel;       // the point drifts with this velocity
  D3dColor color;
};

// A ribbon of at most 16 points, newest first. A slot is in use from add_trail_fx until
// kill_trail_fx (or a reset); a stopped trail loses one point per update and, once empty,
// draws nothing but keeps its slot until it is killed.
struct FxTrail
{
  FxTrailPoint points[TRAIL_POINTS]; // ring; points[head] is the newest
  int count;                         // points in use, 0..16; > 0 means alive
  int head;
  int nextFree;   // free-list link while not in use
  float width;    // half width of the head's cap
  D3dColor color; // given to new points
  bool stopping;
  bool inUse; // taken from the free list and not yet killed

  bool isAlive() const { return count > 0; }
  const FxTrailPoint &point(int k) const { return points[(head + k) & (TRAIL_POINTS - 1)]; }
};
static_assert((TRAIL_POINTS & (TRAIL_POINTS - 1)) == 0, "the ring index wraps by masking");

struct FxBoltPoint
{
  vec4f pos;
  D3dColor color;
  float u; // texture coordinate along the bolt
};

struct FxBolt
{
  DynArray<FxBoltPoint> points; // at least 3; the two ends transparent
  float age, life, width;
};

// The simulation state, read by the renderer and by tests.
extern ENGINE_API FxPool fx_blend_pool, fx_glow_pool;
extern ENGINE_API FxTrail fx_trails[MAX_TRAILS];
extern ENGINE_API DynArray<FxBolt> fx_bolts; // in creation order

// Reset, then the atlases, shaders and buffers (failures are fatal). Remembers whether
// the scene's effects target exists (single-target mode).
ENGINE_API void init_common_fx();
ENGINE_API void close_common_fx();
// Empties both pools (keeping room for 10000 particles each), frees every trail and
// removes every bolt.
ENGINE_API void reset_common_fx();
// One simulation step: blend pool, glow pool, the trails, then the bolts.
ENGINE_API void update_common_fx(float dt);
// Draws everything into the effects buffer and composites it over the scene image;
// t = seconds since the last update, f = t / update interval. Last pass of the scene.
ENGINE_API void render_common_fx(float t, float f);

// atlas_x, atlas_y: top-left corner of the sprite's cell in atlas texels; cell: its size.
// A delay postpones the birth; the particle then lives `life` seconds.
ENGINE_API void add_blend_particle(vec4f pos, vec4f vel, vec4f acc, float life, float delay, float size, D3dColor color,
                                   float atlas_x, float atlas_y, float cell, float rotation, float rotation_amount,
                                   const ColorRamp *color_ramp, const FloatRamp *size_ramp,
                                   const FloatRamp *rotation_ramp);
ENGINE_API void add_glow_particle(vec4f pos, vec4f vel, vec4f acc, float life, float delay, float size, D3dColor color,
                                  float atlas_x, float atlas_y, float cell, float rotation, float rotation_amount,
                                  const ColorRamp *color_ramp, const FloatRamp *size_ramp,
                                  const FloatRamp *rotation_ramp);

// A new trail with one point; -1 when all 4000 slots are in use.
ENGINE_API int add_trail_fx(vec4f pos, vec4f vel, vec4f side, float width, D3dColor color);
// The calls below ignore indices outside 0..3999 and slots not in use (a stale index
// after kill_trail_fx or a reset does nothing).
ENGINE_API void add_trail_point(int trail, vec4f pos, vec4f vel, vec4f side);
ENGINE_API void set_trail_color(int trail, D3dColor color);
ENGINE_API void stop_trail_fx(int trail);
// Frees the slot at once, alive or already emptied by stop_trail_fx.
ENGINE_API void kill_trail_fx(int trail);

// A bolt from `from` to `to` (wrapped next to from), bent toward from + ctrl and jittered
// by noise of the given wavelength and amplitude, `points` points (3 to 4096). A bright
// stretch runs from `from` to `to` over its life.
ENGINE_API void add_lightning_fx(vec4f from, vec4f to, vec4f ctrl, float width, float wavelength, float amplitude,
                                 float life, D3dColor color, int points);

// Single-target mode: set by init_common_fx when the scene has its floating-point
// effects target; tests clear it to draw through T1 and T2 instead.
extern ENGINE_API bool fx_use_single_rt;

// ---- drawing, without the device (the renderer and tests use these) ----

// The world copy of p nearest to c: x and z of p - c moved into (-128, 128].
ENGINE_API vec4f fx_wrap_near(vec4f p, vec4f c);

// One instance of the particle passes (stream 1).
struct FxInstance
{
  float x, y, z, size; // POSITION1
  float rotation;      // POSITION2
  D3dColor color;      // COLOR0
  float u, v, du, dv;  // TEXCOORD0: centre, half cell / 512, -half cell / 256
};
static_assert(sizeof(FxInstance) == 40, "the instance record of the particle passes is 40 bytes");

// One vertex of the trail and lightning ribbons.
struct FxRibbonVertex
{
  float x, y, z;
  D3dColor color;
  float u, v;
};
static_assert(sizeof(FxRibbonVertex) == 24, "the ribbon vertex is 24 bytes");

// The instance of a particle at t seconds after the last update (f = t / interval), near
// the camera position cam; false while it is not visible (not yet born or past its life).
ENGINE_API bool fx_particle_instance(const FxParticle &p, float t, float f, vec4f cam, FxInstance &out);
// Writes the instances of every visible particle of a pool; returns how many.
ENGINE_API int fx_pool_instances(const FxPool &pool, float t, float f, vec4f cam, FxInstance *out, int max);
// Vertices (triangle list) of a trail: 6 per point, at most TRAIL_POINTS * 6; right and
// up are the camera's axes. Returns the vertex count (0 for an empty trail).
ENGINE_API int fx_trail_vertices(const FxTrail &tr, float f, vec4f cam, vec4f right, vec4f up, FxRibbonVertex *out);
// Vertices of a bolt: 6 per segment. Returns the vertex count.
ENGINE_API int fx_bolt_vertices(const FxBolt &b, float t, vec4f cam, FxRibbonVertex *out);
