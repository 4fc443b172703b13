#include "splash.h"

SplashHooks splash_hooks;
