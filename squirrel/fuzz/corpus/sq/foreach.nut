function p(x) { print(x + "\n"); }

foreach (v in [10, 20]) p(v);
foreach (i, v in ["a", "b"]) p(i + ":" + v);
foreach (i, c in "hi") p(i + ":" + c);
local t = { x = 1, y = 2, z = 3 };
local ks = [];
foreach (k, v in t) ks.append(k + "=" + v);
ks.sort();
foreach (s in ks) p(s);
foreach (v in [1, 2, 3, 4, 5]) {
    if (v == 2) continue;
    if (v == 4) break;
    p(v);
}
foreach (a in [1, 2]) {
    foreach (b in [10, 20, 30]) {
        if (b == 30) break;
        p(a * b);
    }
}
local sum = 0;
foreach (v in []) sum += 1;
p(sum);
local arr = [1, 2, 3];
foreach (v in arr) v = 0;
p(arr[0]);
