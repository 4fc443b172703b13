print(vargv.len() + "\n");
foreach (a in vargv) print(a + "\n");
print(typeof vargv[0] + "\n");
