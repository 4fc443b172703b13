// A world-generator style pass over 2-D float grids: value noise summed over
// octaves, smoothing passes and a histogram of the result.
const W = 320;
const H = 320;
function hash(x, y) {
    local n = (x * 374761393 + y * 668265263) & 0x7fffffff;
    n = ((n ^ (n >> 13)) * 1274126177) & 0x7fffffff;
    return (n & 0xffff) / 65535.0;
}
function noise(x, y) {
    local ix = x.tointeger(), iy = y.tointeger();
    local fx = x - ix, fy = y - iy;
    local a = hash(ix, iy), b = hash(ix + 1, iy), c = hash(ix, iy + 1), d = hash(ix + 1, iy + 1);
    local ux = fx * fx * (3.0 - 2.0 * fx), uy = fy * fy * (3.0 - 2.0 * fy);
    return a + (b - a) * ux + (c - a) * uy + (a - b - c + d) * ux * uy;
}
local height = array(H);
for (local y = 0; y < H; y++) {
    local row = array(W, 0.0);
    for (local x = 0; x < W; x++) {
        local v = 0.0, amp = 1.0, freq = 0.03;
        for (local o = 0; o < 4; o++) {
            v += noise(x * freq, y * freq) * amp;
            amp *= 0.5;
            freq *= 2.0;
        }
        row[x] = v;
    }
    height[y] = row;
}
for (local pass = 0; pass < 4; pass++) {
    local next = array(H);
    for (local y = 0; y < H; y++) {
        local row = array(W, 0.0);
        local up = height[y > 0 ? y - 1 : y], mid = height[y], down = height[y < H - 1 ? y + 1 : y];
        for (local x = 0; x < W; x++) {
            local l = x > 0 ? x - 1 : x, r = x < W - 1 ? x + 1 : x;
            row[x] = (up[x] + down[x] + mid[l] + mid[r] + mid[x] * 4.0) / 8.0;
        }
        next[y] = row;
    }
    height = next;
}
local bins = array(8, 0);
local lo = 1.0e9, hi = -1.0e9;
foreach (row in height) foreach (h in row) {
    if (h < lo) lo = h;
    if (h > hi) hi = h;
    local b = (h * 4.0).tointeger();
    bins[b < 0 ? 0 : (b > 7 ? 7 : b)]++;
}
print(format("%.3f %.3f", lo, hi) + " " + bins[2] + " " + bins[3] + " " + bins[4] + "\n");
