// Regular expression search and capture over generated text.
local words = ["alpha", "beta", "gamma42", "delta", "x9", "epsilon"];
local chunk = "";
for (local i = 0; i < 100; i++) chunk += words[i % words.len()] + (i % 3 == 0 ? "@site.com " : " ");
local text = "";
for (local i = 0; i < 400; i++) text += chunk;
local ex = regexp(@"(\w+)@(\w+)\.com");
local count = 0, pos = 0;
while (true) {
    local m = ex.capture(text, pos);
    if (m == null) break;
    count++;
    pos = m[0].end;
}
local num = regexp(@"\d+");
local nums = 0;
for (local i = 0; i < 300000; i++) if (num.match((i * 7) + "")) nums++;
print(count + " " + nums + "\n");
