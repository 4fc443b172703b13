#pragma once
// The sprite cells of the particle atlases (512 x 256 texels each): name, top-left corner
// and size in texels. fx_tex_gen paints them; bin/test/fx.nut lists them for its effects.
// Cells never overlap, lie inside the atlas and are aligned to their size, so the mip
// levels keep them apart.

struct FxAtlasCell
{
  const char *name;
  int x, y, size;
};

// blendfx.dds
inline constexpr FxAtlasCell fx_blend_cells[] = {
  {"smoke_a", 0, 0, 128},     {"smoke_b", 128, 0, 128},    {"smoke_c", 256, 0, 128},    {"dust_cloud", 384, 0, 128},
  {"dust", 0, 128, 64},       {"drop", 64, 128, 64},       {"splash", 128, 128, 64},    {"spray", 192, 128, 64},
  {"foam", 256, 128, 64},     {"feather_a", 320, 128, 64}, {"feather_b", 384, 128, 64}, {"ripple", 448, 128, 64},
  {"soft_dot", 0, 192, 32},   {"puff_a", 32, 192, 32},     {"puff_b", 64, 192, 32},     {"grain", 96, 192, 32},
  {"foam_bit", 128, 192, 32}, {"droplet_a", 160, 192, 32}, {"droplet_b", 192, 192, 32}, {"mist", 224, 192, 32},
  {"ash_a", 0, 224, 32},      {"ash_b", 32, 224, 32},      {"ash_c", 64, 224, 32},      {"chip_a", 96, 224, 32},
  {"chip_b", 128, 224, 32},   {"chip_c", 160, 224, 32},    {"leaf", 192, 224, 32},      {"pebble", 224, 224, 32},
  {"wisp", 256, 192, 64},     {"down", 320, 192, 64},      {"sheet", 384, 192, 64},     {"bubble", 448, 192, 64},
};

// glowfx.dds (besides the ribbon regions: body y 0..63, head 0,64 x 64, band y 192..255)
inline constexpr FxAtlasCell fx_glow_cells[] = {
  {"trail_head", 0, 64, 64},   {"flare", 64, 64, 64},       {"glow_ball", 128, 64, 64},   {"ring", 192, 64, 64},
  {"shock_wave", 256, 64, 64}, {"flame_a", 320, 64, 64},    {"flame_b", 384, 64, 64},     {"sparkle", 448, 64, 64},
  {"fire_puff", 0, 128, 64},   {"spark", 64, 128, 64},      {"ember", 128, 128, 64},      {"heal_plus", 192, 128, 64},
  {"flash", 256, 128, 64},     {"rune_ring", 320, 128, 64}, {"bubble_rim", 384, 128, 64}, {"swirl", 448, 128, 64},
};
