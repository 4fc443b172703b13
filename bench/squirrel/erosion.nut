// Erosion-style float code: droplets run downhill over a height grid stored in
// one flat array, picking up and dropping sediment; sqrt and tointeger on every step.
const N = 128;
local h = array(N * N, 0.0);
for (local z = 0; z < N; z++)
    for (local x = 0; x < N; x++)
        h[z * N + x] = sin(x * 0.09) * cos(z * 0.07) * 8.0 + (x + z) * 0.05;
local seed = 12345;
function rnd() {
    seed = (seed * 1103515245 + 12345) % 2147483648;
    return seed / 2147483648.0;
}
local moved = 0.0, steps = 0;
for (local d = 0; d < 40000; d++) {
    local px = 1.0 + rnd() * (N - 3), pz = 1.0 + rnd() * (N - 3);
    local vx = 0.0, vz = 0.0, water = 1.0, sed = 0.0;
    for (local s = 0; s < 32; s++) {
        local ix = px.tointeger(), iz = pz.tointeger();
        local fx = px - ix, fz = pz - iz;
        local i = iz * N + ix;
        local h00 = h[i], h10 = h[i + 1], h01 = h[i + N], h11 = h[i + N + 1];
        local gx = (h10 - h00) * (1.0 - fz) + (h11 - h01) * fz;
        local gz = (h01 - h00) * (1.0 - fx) + (h11 - h10) * fx;
        vx = vx * 0.8 - gx;
        vz = vz * 0.8 - gz;
        local speed = sqrt(vx * vx + vz * vz);
        if (speed < 0.0001) break;
        local nx = px + vx / speed, nz = pz + vz / speed;
        if (nx < 1.0 || nz < 1.0 || nx >= N - 2 || nz >= N - 2) break;
        local here = h00;
        local there = h[nz.tointeger() * N + nx.tointeger()];
        local dh = there - here;
        local cap = (dh < 0.0 ? -dh : 0.01) * (speed < 4.0 ? speed : 4.0) * water;
        if (sed > cap || dh > 0.0) {
            local drop = dh > 0.0 ? (dh * 0.5 < sed ? dh * 0.5 : sed) : (sed - cap) * 0.2;
            sed -= drop;
            h[i] += drop;
            moved += drop;
        } else {
            local take = (cap - sed) * 0.2;
            if (take > -dh * 0.5) take = -dh * 0.5;
            sed += take;
            h[i] -= take;
            moved += take;
        }
        px = nx;
        pz = nz;
        water *= 0.98;
        steps++;
    }
}
local sum = 0.0;
foreach (v in h) sum += v;
print(format("%d %.2f %.2f\n", steps, moved, sum));
