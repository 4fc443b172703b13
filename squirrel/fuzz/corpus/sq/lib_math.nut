function p(x) { print(x + "\n"); }

p(abs(-5));
p(typeof abs(-5.5));
p(abs(-5.7));
p(abs(3));
p(fabs(-2.5));
p(typeof fabs(-2));
p(floor(2.7));
p(typeof floor(2.7));
p(ceil(2.1));
p(floor(-2.5));
p(ceil(-2.5));
p(sqrt(16));
p(sqrt(2));
p(pow(2, 10));
p(typeof pow(2, 10));
p(pow(2.0, 0.5));
p(sin(0));
p(cos(0));
p(exp(0));
p(exp(1));
p(log(1));
p(log10(1000));
p(atan2(1, 1));
p(atan(1));
p(tan(0));
p(asin(1));
p(acos(1));
p(PI);
p(typeof PI);
p(typeof RAND_MAX);
p(RAND_MAX > 0);
srand(42);
local r1 = rand();
srand(42);
local r2 = rand();
p(r1 == r2);
local ok = true;
for (local i = 0; i < 100; i++) { local r = rand(); if (r < 0 || r > RAND_MAX) ok = false; }
p(ok);
try { sqrt("x"); } catch (e) { p(e); }
