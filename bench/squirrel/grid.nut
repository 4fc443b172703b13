// A world-generator style pass over a 256x256 grid: height noise, smoothing,
// classification into tiles and a flood count.
const W = 256;
const H = 256;
srand(1234);
local height = array(H);
for (local y = 0; y < H; y++) {
    local row = array(W, 0.0);
    for (local x = 0; x < W; x++)
        row[x] = sin(x * 0.05) * cos(y * 0.07) * 40.0 + (rand() % 100) * 0.1;
    height[y] = row;
}
for (local pass = 0; pass < 3; pass++) {
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
local tiles = { water = 0, sand = 0, grass = 0, rock = 0 };
local kind = array(H);
for (local y = 0; y < H; y++) {
    local row = array(W, 0);
    for (local x = 0; x < W; x++) {
        local h = height[y][x];
        local k = h < -5.0 ? "water" : h < 0.0 ? "sand" : h < 20.0 ? "grass" : "rock";
        tiles[k]++;
        row[x] = k == "water" ? 1 : 0;
    }
    kind[y] = row;
}
local lakes = 0;
local stack = [];
for (local y = 0; y < H; y++) for (local x = 0; x < W; x++) {
    if (kind[y][x] != 1) continue;
    lakes++;
    kind[y][x] = 2;
    stack.append(y * W + x);
    while (stack.len()) {
        local c = stack.pop();
        local cy = c / W, cx = c % W;
        foreach (d in [[0, 1], [0, -1], [1, 0], [-1, 0]]) {
            local ny = cy + d[0], nx = cx + d[1];
            if (ny < 0 || ny >= H || nx < 0 || nx >= W || kind[ny][nx] != 1) continue;
            kind[ny][nx] = 2;
            stack.append(ny * W + nx);
        }
    }
}
print(tiles.water + " " + tiles.sand + " " + tiles.grass + " " + tiles.rock + " lakes " + lakes + "\n");
