#pragma once
#include "engine_api.h"

// The loading splash as every layer shows it: a text and a progress bar (progress in
// [0, 1]; negative: no bar), drawn and presented at once. The shell points it at the text
// renderer's show_splash once the font exists; until then, and without a renderer (tests,
// -export-world), nothing is drawn.
struct SplashHooks
{
  void (*show)(const char *text, float progress) = [](const char *, float) {};
};
extern ENGINE_API SplashHooks splash_hooks;
