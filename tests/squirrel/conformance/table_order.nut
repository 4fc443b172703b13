// Tables iterate in node order: keys sit at hash & (size-1) unless a collision
// sent them to the free node, which starts at the top and only moves down.
function keys_of(t) {
    local s = "";
    foreach (k, v in t) s += k + " ";
    return s;
}
print(keys_of({ p = 1, q = 2, r = 3 }) + "\n");
print(keys_of({ a = 1, b = 2, c = 3 }) + "\n");

// growth from 4 nodes: doubled when the free node runs out at 3/4 full
local g = {};
foreach (k in ["alpha", "beta", "gamma", "delta", "epsilon", "zeta", "eta", "theta", "iota", "kappa"]) {
    g[k] <- 0;
    print(keys_of(g) + "\n");
}

// integers hash as themselves (negative ones by their low bits), floats as
// their truncated value, bools as 0 and 1
local n = {};
foreach (k in [5, -1, 12, 4, 1.5, 2.75, true, false, 9, -8, 17]) n[k] <- 0;
print(keys_of(n) + "\n");

// a guest in another key's main position moves to the free node
local m = {};
m[1] <- 0; m[5] <- 0; m[2] <- 0; m[3] <- 0;
print(keys_of(m) + "\n");

// deleting keeps the chain; a quarter full halves the table
local d = {};
for (local i = 0; i < 12; i++) d[i * 3] <- i;
print(keys_of(d) + "\n");
for (local i = 0; i < 10; i++) {
    delete d[i * 3];
    print(keys_of(d) + "\n");
}
d[100] <- 0; d[7] <- 0;
print(keys_of(d) + "\n");

// strings hash from their last bytes, a long one every (len/32 + 1)-th byte
local s = {};
s["a very long key that goes past thirty-two bytes"] <- 0;
s["a very long key that goes past thirty-two bytez"] <- 0;
s["x"] <- 0; s[""] <- 0; s["yx"] <- 0; s["xy"] <- 0;
foreach (k, v in s) print("[" + k + "] ");
print("\n");

// keys(), values(), clone and a literal's size follow the same order
local lit = { one = 1, two = 2, three = 3, four = 4, five = 5 };
print(keys_of(lit) + "\n");
local ks = "";
foreach (k in lit.keys()) ks += k + " ";
print(ks + "\n");
local vs = "";
foreach (v in lit.values()) vs += v + " ";
print(vs + "\n");
print(keys_of(clone lit) + "\n");

// class members are kept in a table too
class C { a = 1; b = 2; c = 3; function m() {} }
local cs = "";
foreach (k, v in C) cs += k + " ";
print(cs + "\n");

// clear keeps the table usable
lit.clear();
lit.z <- 1; lit.y <- 2;
print(keys_of(lit) + "\n");
