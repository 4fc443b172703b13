#pragma once
#include <cstdint>
#include "core/globals.h"

// The game's 64-bit generator: state = state * 0x5851F42D4C957F2D + 0x14057B7EF767814F
// (mod 2^64); a draw is the high 32 bits of the new state. Every world algorithm draws
// from game_rnd_seed in a fixed order; changing that order changes every island.

constexpr uint64_t WORLD_RND_MUL = 0x5851F42D4C957F2DULL;
constexpr uint64_t WORLD_RND_ADD = 0x14057B7EF767814FULL;

inline uint32_t world_rnd_next(uint64_t &state)
{
  state = state * WORLD_RND_MUL + WORLD_RND_ADD;
  return uint32_t(state >> 32);
}

// A draw as a uniform float: r / 2^32 (r unsigned). Rounding to float may give 1.0 for
// the largest draws.
inline float world_rnd_unit(uint64_t &state) { return float(world_rnd_next(state)) * (1.f / 4294967296.f); }

// Draws straight from game_rnd_seed.
inline uint32_t game_rnd() { return world_rnd_next(game_rnd_seed); }
inline float game_rnd_unit() { return world_rnd_unit(game_rnd_seed); }
// Draws from fx_rnd_seed, for what is only seen.
inline float fx_rnd_unit() { return world_rnd_unit(fx_rnd_seed); }

// A local copy of the generator for hot loops: load game_rnd_seed once, draw, store it
// back with commit() (the destructor commits too).
struct WorldRnd
{
  uint64_t state;

  WorldRnd() : state(game_rnd_seed) {}
  ~WorldRnd() { commit(); }
  WorldRnd(const WorldRnd &) = delete;
  WorldRnd &operator=(const WorldRnd &) = delete;

  uint32_t next() { return world_rnd_next(state); }
  float unit() { return world_rnd_unit(state); }
  void commit() { game_rnd_seed = state; }
};
